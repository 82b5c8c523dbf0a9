#include "response/calibrator_tone.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <vector>

#include "base/number_text.h"
#include "response/real_fft.h"

namespace quorvel {

namespace {

constexpr double kRate = 48000.0;
constexpr double kFullScale = 32768.0;
constexpr double kSilenceDbfs = -100.0;
// Below this the strongest tone is no tone at all: the recording is noise [dB].
constexpr double kNoiseAboveRestDb = 10.0;
constexpr double kMaxSwingDb = 1.0;
// Bins on either side of the peak that hold a steady tone through the window (its main lobe
// is 4 bins wide either side; a real calibrator's frequency wanders a little).
constexpr int kToneBins = 8;
constexpr int kDcBins = 4;
constexpr double kPi = 3.141592653589793;

double Dbfs(double rms) {
  return rms > 0.0 ? 20.0 * std::log10(rms / kFullScale) : -400.0;
}

std::string Hz(double hz) {
  return FormatFixed(hz, 1) + " Hz";
}

// The 4-term Blackman-Harris window: side lobes 92 dB down, far below the 30 dB asked for.
double BlackmanHarris(int n, int size) {
  const double x = 2.0 * kPi * n / (size - 1);
  return 0.35875 - 0.48829 * std::cos(x) + 0.14128 * std::cos(2 * x) - 0.01168 * std::cos(3 * x);
}

}  // namespace

CalibratorTone CheckCalibratorTone(std::span<const int16_t> samples, double expectedHz) {
  CalibratorTone tone;
  const int size = static_cast<int>(samples.size() & ~static_cast<size_t>(1));
  double mean = 0.0;
  for (int i = 0; i < size; ++i) mean += samples[i];
  mean = size > 0 ? mean / size : 0.0;
  double power = 0.0;
  for (int i = 0; i < size; ++i) power += (samples[i] - mean) * (samples[i] - mean);
  tone.rmsDbfs = Dbfs(size > 0 ? std::sqrt(power / size) : 0.0);
  const std::string heard = "the recording holds ";
  if (size < static_cast<int>(kRate) || tone.rmsDbfs < kSilenceDbfs) {
    tone.message = "No calibrator was heard: " + heard + "silence";
    return tone;
  }

  CRealFft fft(size);
  for (int i = 0; i < size; ++i) fft.Time()[i] = (samples[i] - mean) * BlackmanHarris(i, size);
  fft.Forward();
  std::vector<double> bins(static_cast<size_t>(fft.Bins()));
  double total = 0.0;
  int peak = kDcBins;
  for (int k = kDcBins; k < fft.Bins(); ++k) {
    bins[k] = std::norm(fft.Spectrum()[k]);
    total += bins[k];
    if (bins[k] > bins[peak]) peak = k;
  }
  double tonePower = 0.0;
  double weighted = 0.0;
  for (int k = std::max(kDcBins, peak - kToneBins); k <= std::min(fft.Bins() - 1, peak + kToneBins);
       ++k) {
    tonePower += bins[k];
    weighted += bins[k] * k;
  }
  tone.frequencyHz = tonePower > 0.0 ? weighted / tonePower * kRate / size : 0.0;
  const double rest = total - tonePower;
  tone.aboveRestDb = rest > 0.0 ? 10.0 * std::log10(tonePower / rest) : 400.0;

  // The level of every quarter second against the whole.
  const int quarter = static_cast<int>(kRate / 4);
  double lowest = 1e300;
  double highest = -1e300;
  for (int start = 0; start + quarter <= size; start += quarter) {
    double p = 0.0;
    for (int i = start; i < start + quarter; ++i) p += (samples[i] - mean) * (samples[i] - mean);
    const double db = Dbfs(std::sqrt(p / quarter));
    lowest = std::min(lowest, db);
    highest = std::max(highest, db);
  }
  tone.swingDb = highest - lowest;

  const std::string found = "a tone at " + Hz(tone.frequencyHz);
  if (tone.aboveRestDb < kNoiseAboveRestDb) {
    tone.verdict = CalibratorVerdict::kNoise;
    tone.message = "No calibrator tone was heard: " + heard + "noise";
  } else if (std::fabs(tone.frequencyHz - expectedHz) >
             kCalibratorFrequencyTolerance * expectedHz) {
    tone.verdict = CalibratorVerdict::kWrongFrequency;
    tone.message = "No calibrator was heard at " + Hz(expectedHz) + ": " + heard + found;
  } else if (tone.aboveRestDb < kCalibratorMinAboveRestDb) {
    tone.verdict = CalibratorVerdict::kTooLittleAbove;
    tone.message = "The calibrator's tone is not clear enough: " + heard + found + " only " +
                   FormatFixed(tone.aboveRestDb, 1) +
                   " dB above the rest (noise or distortion; at least " +
                   FormatFixed(kCalibratorMinAboveRestDb, 0) + " dB are needed)";
  } else if (tone.swingDb > kMaxSwingDb) {
    tone.verdict = CalibratorVerdict::kNotSteady;
    tone.message = "The calibrator's tone is not steady: " + heard + found +
                   " whose level changes by " + FormatFixed(tone.swingDb, 1) + " dB";
  } else {
    tone.verdict = CalibratorVerdict::kTone;
  }
  return tone;
}

}  // namespace quorvel

#include "response/reference_timing.h"

#include <cmath>
#include <complex>
#include <numbers>
#include <vector>

#include "base/number_text.h"
#include "engine/point_timing.h"

namespace quorvel {

namespace {

constexpr int kHalfTaps = 32;  // the interpolation's reach either side [samples]
constexpr int kSearchSteps = 60;
// The reference's group delay is read across 2 x kDeltaHz at each of kDriftBands frequencies.
constexpr double kDeltaHz = 5.0;
constexpr int kDriftBands = 24;

// |h(t)| of the samples round the peak (sample kHalfTaps is the peak sample), t in samples.
double Magnitude(const std::vector<double>& h, double t) {
  double sum = 0.0;
  for (int n = 0; n < static_cast<int>(h.size()); ++n) {
    const double x = t - n;
    if (std::abs(x) >= kHalfTaps) continue;
    const double sinc = x == 0.0 ? 1.0 : std::sin(std::numbers::pi * x) / (std::numbers::pi * x);
    const double window = 0.5 + 0.5 * std::cos(std::numbers::pi * x / kHalfTaps);
    sum += h[static_cast<std::size_t>(n)] * sinc * window;
  }
  return std::abs(sum);
}

}  // namespace

double InterpolatedPeak(const CImpulseAnalysis& analysis) {
  if (!analysis.HasResult()) return std::nan("");
  const std::vector<double> h = analysis.LinearSamples(-kHalfTaps, 2 * kHalfTaps + 1);
  // golden-section search for the largest magnitude within a sample of the peak sample
  const double ratio = (std::sqrt(5.0) - 1.0) / 2.0;
  double a = kHalfTaps - 1.0;
  double b = kHalfTaps + 1.0;
  double c = b - ratio * (b - a);
  double d = a + ratio * (b - a);
  double fc = Magnitude(h, c);
  double fd = Magnitude(h, d);
  for (int i = 0; i < kSearchSteps; ++i) {
    if (fc > fd) {
      b = d;
      d = c;
      fd = fc;
      c = b - ratio * (b - a);
      fc = Magnitude(h, c);
    } else {
      a = c;
      c = d;
      fc = fd;
      d = a + ratio * (b - a);
      fd = Magnitude(h, d);
    }
  }
  const double peakSample = analysis.PeakPosition() - analysis.PeakFraction();
  return peakSample + 0.5 * (a + b) - kHalfTaps;
}

ResponseTiming TimeFromPlayedSignal(const CImpulseAnalysis& measurement, double playedStart) {
  ResponseTiming timing;
  if (!measurement.HasResult()) return timing;
  timing.playedDelaySamples = InterpolatedPeak(measurement) - (playedStart + kSamplesBeforeLeadIn);
  return timing;
}

ResponseTiming TimeFromReference(const CImpulseAnalysis& measurement,
                                 const CImpulseAnalysis& reference) {
  ResponseTiming timing;
  if (!measurement.HasResult() || !reference.HasResult()) return timing;
  timing.loopback = true;
  timing.position = InterpolatedPeak(reference);
  timing.delaySamples = InterpolatedPeak(measurement) - timing.position;

  // With clocks apart the recorded sweep is stretched: the reference's delay grows with the
  // time at which the sweep passes each frequency. Its slope over that time is the drift.
  const double fmin = reference.Fmin();
  const double low = std::max(2.0 * fmin, 50.0);
  const double high = std::min(reference.Fmax() / 1.5, 16000.0);
  const double growth = reference.HarmonicLag(std::numbers::e);  // [samples] per e of frequency
  if (!(high > low) || !(growth > 0.0)) return timing;
  double st = 0.0, sd = 0.0, stt = 0.0, std_ = 0.0;
  for (int i = 0; i < kDriftBands; ++i) {
    const double f = low * std::pow(high / low, i / (kDriftBands - 1.0));
    const std::complex<double> turn =
        reference.TransferAt(f + kDeltaHz) * std::conj(reference.TransferAt(f - kDeltaHz));
    const double delay = -std::arg(turn) / (2.0 * std::numbers::pi * 2.0 * kDeltaHz) *
                         CImpulseAnalysis::kRate;  // [samples]
    const double t = growth * std::log(f / fmin);  // [samples] into the sweep
    st += t;
    sd += delay;
    stt += t * t;
    std_ += t * delay;
  }
  const double n = kDriftBands;
  const double spread = stt - st * st / n;
  if (spread > 0.0) timing.driftPpm = (std_ - st * sd / n) / spread * 1e6;
  return timing;
}

std::string PlayedDelayWords(double delaySamples) {
  return FormatFixed(delaySamples * 1000.0 / CImpulseAnalysis::kRate, 3) + " ms (" +
         FormatFixed(delaySamples, 2) +
         " samples) after the played sweep, a time that includes the devices' latency";
}

}  // namespace quorvel

// Whether the curve's points hear the sweep of their range: each point's block in a window of
// 4096 samples, its components weighed against the recording's own noise before the burst.
#include "response/sweep_presence.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <vector>

#include "engine/point_timing.h"
#include "response/real_fft.h"

namespace quorvel {

namespace {

constexpr int kWindow = 4096;  // [samples] 85 ms: the sweep rises by at most 4 % meanwhile
constexpr int kBins = kWindow / 2;
constexpr double kBinHz = 48000.0 / kWindow;
constexpr long kBlock = 960;
constexpr int kPointStride = 8;  // every eighth point is looked at
// The noise is measured in the last windows that end this far before the end of the sync block:
// the block itself, and a tenth of a second for a quiet burst found late in it.
constexpr long kBeforeBurst = kBlock + 4800;
constexpr int kNoiseWindows = 12;
// 16-bit rounding noise (1/12 of a step squared) in one bin of the Hann window (sum of its
// squares 3/8 of its length): no recording's noise reads lower.
constexpr double kRoundingNoise = kWindow * 3.0 / 8.0 / 12.0;
// A point hears something where a bin stands 20 dB above the noise in it; the strongest such
// component is sought among the bins within 30 dB of the window's strongest.
constexpr double kHeard = 100.0;
constexpr double kCandidate = 1e-3;
// At the point's frequency: within 5 % or two bins of it.
constexpr double kMatchRatio = 1.05;
constexpr double kMatchBins = 2.0;
// The lowest bin whose frequency the window tells from its neighbours' (47 Hz).
constexpr int kResolvedBin = 4;
// A tone: half the window's power above the noise lies within 5 % (three bins at least) of it.
constexpr double kToneShare = 0.5;

// Power spectra (bins 1 .. kBins) of 4096-sample windows, their mean removed, Hann-weighted.
class CWindowPower {
 public:
  CWindowPower() : m_fft(kWindow), m_hann(kWindow) {
    for (int i = 0; i < kWindow; ++i) {
      const double s = std::sin(3.141592653589793 * (i + 0.5) / kWindow);
      m_hann[static_cast<size_t>(i)] = s * s;
    }
  }
  // power[j] for j = 1 .. kBins of samples[0 .. kWindow)
  void Of(const int16_t* samples, std::vector<double>& power) {
    double mean = 0.0;
    for (int i = 0; i < kWindow; ++i) mean += samples[i];
    mean /= kWindow;
    double* t = m_fft.Time();
    for (int i = 0; i < kWindow; ++i) t[i] = (samples[i] - mean) * m_hann[static_cast<size_t>(i)];
    m_fft.Forward();
    const std::complex<double>* spectrum = m_fft.Spectrum();
    power.resize(kBins + 1);
    for (int j = 1; j <= kBins; ++j) power[static_cast<size_t>(j)] = std::norm(spectrum[j]);
  }

 private:
  CRealFft m_fft;
  std::vector<double> m_hann;
};

// The noise in each bin: the median over the windows before the burst (taken back to a mean),
// never below the rounding noise.
std::vector<double> NoiseBefore(std::span<const int16_t> recording, long end, CWindowPower& power) {
  std::vector<std::vector<double>> windows;
  for (long start = end - kWindow; start >= 0 && windows.size() < kNoiseWindows;
       start -= kWindow / 2) {
    if (start + kWindow > static_cast<long>(recording.size())) continue;
    power.Of(recording.data() + start, windows.emplace_back());
  }
  std::vector<double> noise(kBins + 1, kRoundingNoise);
  std::vector<double> bin(windows.size());
  for (int j = 1; j <= kBins && !windows.empty(); ++j) {
    for (size_t w = 0; w < windows.size(); ++w) bin[w] = windows[w][static_cast<size_t>(j)];
    const auto middle = bin.begin() + static_cast<long>(bin.size() / 2);
    std::nth_element(bin.begin(), middle, bin.end());
    noise[static_cast<size_t>(j)] = std::max(*middle / std::log(2.0), kRoundingNoise);
  }
  return noise;
}

// What one point's window holds above the noise.
struct Component {
  bool heard = false;
  int bin = 0;        // the strongest component's bin
  bool tone = false;  // most of the power above the noise lies around it
};

Component StrongestComponent(const std::vector<double>& power, const std::vector<double>& noise) {
  Component c;
  const double strongest = *std::max_element(power.begin() + 1, power.end());
  double ratio = 0.0;
  for (int j = 1; j <= kBins; ++j) {
    const double p = power[static_cast<size_t>(j)];
    const double r = p / noise[static_cast<size_t>(j)];
    if (p >= kCandidate * strongest && r > ratio) {
      ratio = r;
      c.bin = j;
    }
  }
  c.heard = ratio >= kHeard;
  const double half = std::max(3.0, 0.05 * c.bin);
  double near = 0.0;
  double all = 0.0;
  for (int j = 1; j <= kBins; ++j) {
    const double excess =
        std::max(power[static_cast<size_t>(j)] - noise[static_cast<size_t>(j)], 0.0);
    all += excess;
    if (std::abs(j - c.bin) <= half) near += excess;
  }
  c.tone = near >= kToneShare * all;
  return c;
}

// The tones' frequencies rise through the points as a sweep's do: a straight line in log
// frequency over the points (least squares) rises at least 5 % and strays from them by less
// than a fifth on average.
bool RisesAsASweep(const std::vector<double>& points, const std::vector<double>& logHz) {
  const double n = static_cast<double>(points.size());
  double mx = 0.0;
  double my = 0.0;
  for (size_t i = 0; i < points.size(); ++i) {
    mx += points[i] / n;
    my += logHz[i] / n;
  }
  double sxx = 0.0;
  double sxy = 0.0;
  for (size_t i = 0; i < points.size(); ++i) {
    sxx += (points[i] - mx) * (points[i] - mx);
    sxy += (points[i] - mx) * (logHz[i] - my);
  }
  if (!(sxx > 0.0)) return false;
  const double slope = sxy / sxx;
  double stray = 0.0;
  for (size_t i = 0; i < points.size(); ++i) {
    const double fit = my + slope * (points[i] - mx);
    stray += (logHz[i] - fit) * (logHz[i] - fit) / n;
  }
  return slope * (points.back() - points.front()) >= std::log(kMatchRatio) &&
         std::sqrt(stray) < 0.2;
}

}  // namespace

SweepPresence FindSweep(std::span<const int16_t> recording, int32_t syncFrames, int points,
                        double fmin, double fmax) {
  CWindowPower power;
  const std::vector<double> noise = NoiseBefore(recording, syncFrames - kBeforeBurst, power);
  const long delay = kSettlingBlocks + PointDelayBlocks(fmin);
  std::vector<double> spectrum;
  int looked = 0;
  int heard = 0;
  int matched = 0;
  int tones = 0;
  std::vector<double> tonePoints;
  std::vector<double> toneLogHz;
  for (int k = 0; k < points; k += kPointStride) {
    // The window is centred on the point's block, which ends (48 + D + k) blocks after the end
    // of the sync block.
    const long start = syncFrames + (delay + k) * kBlock - kBlock / 2 - kWindow / 2;
    if (start < 0 || start + kWindow > static_cast<long>(recording.size())) continue;
    ++looked;
    power.Of(recording.data() + start, spectrum);
    const Component c = StrongestComponent(spectrum, noise);
    if (!c.heard) continue;
    ++heard;
    const double pointHz = fmin * std::pow(fmax / fmin, k / 1000.0);
    const double foundHz = c.bin * kBinHz;
    if (std::abs(c.bin - pointHz / kBinHz) <= kMatchBins ||
        std::abs(std::log(foundHz / pointHz)) <= std::log(kMatchRatio)) {
      ++matched;
    }
    if (c.tone) ++tones;
    // a rise is measured where the window resolves the frequency
    if (c.tone && c.bin >= kResolvedBin) {
      tonePoints.push_back(k);
      toneLogHz.push_back(std::log(foundHz));
    }
  }
  // Most of what the points hear is the sweep, and a tenth of them hear it at least (a speaker
  // may be silent over much of the range).
  if (matched > 0 && 3 * matched >= 2 * heard && 10 * matched >= looked) {
    return SweepPresence::kFound;
  }
  if (tonePoints.size() > 1 && 2 * tones >= heard && 10 * tones >= looked &&
      RisesAsASweep(tonePoints, toneLogHz)) {
    return SweepPresence::kOtherRange;
  }
  return SweepPresence::kNone;
}

}  // namespace quorvel

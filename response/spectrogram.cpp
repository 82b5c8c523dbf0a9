#include "response/spectrogram.h"

#include <algorithm>
#include <cmath>

#include "response/impulse_analysis.h"
#include "response/real_fft.h"

namespace quorvel {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kMaxTimes = 20000.0;
constexpr double kMaxWindowMs = 1000.0;
constexpr int kMaxPointsPerOctave = 96;

}  // namespace

Spectrogram ImpulseSpectrogram(const ImpulseResponse& response, const SpectrogramOptions& options) {
  Spectrogram map;
  const double rate = response.rate;
  const double fmax = std::min(response.fmax, rate / 2);
  if (!response.Usable() || !(options.windowMs > 0.0) || !(options.windowMs <= kMaxWindowMs) ||
      !(options.stepMs > 0.0) || !(options.fromMs <= options.toMs) || options.pointsPerOctave < 1 ||
      options.pointsPerOctave > kMaxPointsPerOctave || !(response.fmin > 0.0) ||
      !(response.fmin < fmax) || !(std::abs(options.fromMs) <= kMaxViewMs) ||
      !(std::abs(options.toMs) <= kMaxViewMs) ||
      !((options.toMs - options.fromMs) / options.stepMs <= kMaxTimes)) {
    return map;
  }
  const double frequencies = std::floor(std::log2(fmax / response.fmin) * options.pointsPerOctave);
  const double times = std::floor((options.toMs - options.fromMs) / options.stepMs) + 1.0;
  const double perMs = rate / 1000.0;
  const long length = std::max(2L, std::lround(options.windowMs * perMs));
  const int size = CRealFft::SmoothSize(static_cast<std::size_t>(std::max(4 * length, long{4096})));
  if ((frequencies + 2.0) * times > kMaxViewCells || times * size > kMaxViewTransformed) return map;
  map.windowMs = options.windowMs;
  for (int i = 0;; ++i) {
    const double f = response.fmin * std::exp2(static_cast<double>(i) / options.pointsPerOctave);
    if (f > fmax * (1.0 - 1e-9)) break;
    map.frequencyHz.push_back(f);
  }
  map.frequencyHz.push_back(fmax);
  const int steps =
      static_cast<int>(std::floor((options.toMs - options.fromMs) / options.stepMs + 1e-9));
  for (int i = 0; i <= steps; ++i) map.timeMs.push_back(options.fromMs + i * options.stepMs);

  CRealFft fft(size);
  const long count = static_cast<long>(response.samples.size());
  map.levelDb.reserve(map.timeMs.size() * map.frequencyHz.size());
  for (const double centreMs : map.timeMs) {
    double* t = fft.Time();
    std::fill(t, t + size, 0.0);
    // The window's first sample: its centre lies half a window on.
    const double centre =
        static_cast<double>(response.peakIndex) + response.peakFraction + centreMs * perMs;
    const long first = static_cast<long>(std::ceil(centre - 0.5 * static_cast<double>(length)));
    for (long i = 0; i < length; ++i) {
      const long n = first + i;
      if (n < 0 || n >= count) continue;
      const double phase = (static_cast<double>(n) - centre) / static_cast<double>(length);
      const double w = std::cos(kPi * phase);
      t[i] = response.samples[static_cast<std::size_t>(n)] * w * w;
    }
    fft.Forward();
    const std::complex<double>* bins = fft.Spectrum();
    for (const double f : map.frequencyHz) {
      const double x = f * size / rate;
      const int b = std::min(static_cast<int>(x), fft.Bins() - 2);
      const double u = x - b;
      const double power = std::norm(bins[b]) * (1.0 - u) + std::norm(bins[b + 1]) * u;
      map.levelDb.push_back(power > 0.0 ? 10.0 * std::log10(power) : -1e300);
    }
  }
  const double top = *std::max_element(map.levelDb.begin(), map.levelDb.end());
  for (double& db : map.levelDb) db = std::max(db - top, map.floorDb);
  return map;
}

Spectrogram ImpulseSpectrogram(const CImpulseAnalysis& analysis,
                               const SpectrogramOptions& options) {
  if (!analysis.HasResult()) return {};
  const double half = 0.5 * std::max(options.windowMs, 0.0) + 0.1;
  return ImpulseSpectrogram(LinearImpulse(analysis, std::max(-options.fromMs, 0.0) + half,
                                          std::max(options.toMs, 0.0) + half),
                            options);
}

}  // namespace quorvel

#include "response/decay_spectrum.h"

#include <algorithm>
#include <cmath>

#include "base/number_text.h"
#include "response/impulse_analysis.h"
#include "response/real_fft.h"
#include "response/response_export.h"
#include "response/response_window.h"

namespace quorvel {

namespace {

constexpr double kFloorDb = -300.0;
constexpr int kMaxSlices = 1000;
constexpr double kMaxMs = 1000.0;
// The slices stop this share of an octave below the top of the sweep: up there the
// deconvolution's band limit rings on as long as the response lasts (-30 dB at the top
// frequency 5 ms after the peak, where the speaker's own sound has long gone below -80 dB), and
// every later slice would stand there alone.
constexpr double kTopMarginOctaves = 1.0 / 6.0;

// The slices' transform: at least four times the longest slice, so that the power between two
// bins can be interpolated.
int TransformSize(double longestMs, double rate) {
  const double samples = longestMs * rate / 1000.0 + 2.0;
  return CRealFft::SmoothSize(static_cast<std::size_t>(std::max(4.0 * samples, 4096.0)));
}

}  // namespace

DecaySpectrum CumulativeDecay(const ImpulseResponse& response, const DecayOptions& options) {
  DecaySpectrum decay;
  const double rate = response.rate;
  if (!response.Usable() || options.slices < 2 || options.slices > kMaxSlices ||
      !(options.spanMs >= 0.0) || !(options.riseMs >= 0.0) || !(options.tailMs > 0.0) ||
      !(options.spanMs + options.tailMs <= kMaxMs) || !(options.riseMs <= kMaxMs) ||
      !(options.fallMs >= 0.0) || !(options.fallMs <= options.tailMs)) {
    return decay;
  }
  decay.frequencyHz = FrdFrequencies(
      response.fmin, std::min(response.fmax, rate / 2) * std::exp2(-kTopMarginOctaves));
  if (decay.frequencyHz.empty() ||
      static_cast<double>(decay.frequencyHz.size()) * options.slices > kMaxViewCells) {
    return {};
  }
  const double endMs = options.spanMs + options.tailMs;
  const int size = TransformSize(endMs + options.riseMs, rate);
  if (static_cast<double>(size) * options.slices > kMaxViewTransformed) return {};
  CRealFft fft(size);
  const double perMs = rate / 1000.0;
  const long count = static_cast<long>(response.samples.size());

  for (int s = 0; s < options.slices; ++s) {
    const double startMs = options.spanMs * s / (options.slices - 1);
    decay.startMs.push_back(startMs);
    double* t = fft.Time();
    std::fill(t, t + size, 0.0);
    // The slice's samples go from index 0 on; only levels are read, so its delay is no matter.
    const double fromMs = startMs - options.riseMs;
    const long first =
        response.peakIndex + static_cast<long>(std::ceil(fromMs * perMs + response.peakFraction));
    for (long n = std::max(first, 0L), i = std::max(first, 0L) - first; n < count; ++n, ++i) {
      const double at = response.TimeMs(n);
      if (at > endMs || i >= size) break;
      const double w = HalfHannRamp(at - fromMs, options.riseMs) *
                       (options.fallMs > 0.0 ? HalfHannRamp(endMs - at, options.fallMs) : 1.0);
      t[i] = response.samples[static_cast<std::size_t>(n)] * w;
    }
    fft.Forward();
    const std::complex<double>* bins = fft.Spectrum();
    std::vector<double> levels;
    levels.reserve(decay.frequencyHz.size());
    for (const double f : decay.frequencyHz) {
      const double x = f * size / rate;
      const int b = std::min(static_cast<int>(x), fft.Bins() - 2);
      const double u = x - b;
      const double power = std::norm(bins[b]) * (1.0 - u) + std::norm(bins[b + 1]) * u;
      levels.push_back(power > 0.0 ? std::max(10.0 * std::log10(power), kFloorDb) : kFloorDb);
    }
    decay.levelDb.push_back(std::move(levels));
  }
  const double reference = *std::max_element(decay.levelDb[0].begin(), decay.levelDb[0].end());
  for (std::vector<double>& levels : decay.levelDb) {
    for (double& db : levels) db -= reference;
  }
  return decay;
}

DecaySpectrum CumulativeDecay(const CImpulseAnalysis& analysis, const DecayOptions& options) {
  if (!analysis.HasResult()) return {};
  const double afterMs = options.spanMs + options.tailMs + 0.1;
  return CumulativeDecay(LinearImpulse(analysis, std::max(options.riseMs, 0.0) + 0.1, afterMs),
                         options);
}

std::string FormatDecayCsv(const DecaySpectrum& decay) {
  std::string text = "time_ms,frequency_hz,level_db\n";
  for (std::size_t s = 0; s < decay.levelDb.size(); ++s) {
    const std::string time = FormatFixed(decay.startMs[s], 4) + ",";
    for (std::size_t i = 0; i < decay.frequencyHz.size(); ++i) {
      text += time + FormatFixed(decay.frequencyHz[i], 4) + "," +
              FormatFixed(decay.levelDb[s][i], 3) + "\n";
    }
  }
  return text;
}

}  // namespace quorvel

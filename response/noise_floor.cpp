#include "response/noise_floor.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "engine/point_timing.h"
#include "response/real_fft.h"
#include "response/response_window.h"

namespace quorvel {

namespace {

constexpr long kGuard = 4800;  // 0.1 s
constexpr long kMaxWindows = 4;
constexpr int kHighestHarmonic = 10;
// Above fmax the deconvolution passes harmonics up to a quarter octave before it rolls them off.
constexpr double kPassedAboveFmax = 1.189207115002721;  // 2^(1/4)
constexpr double kHalfBand = 1.0293022366434921;        // 2^(1/24): 1/12 octave in all

}  // namespace

std::vector<double> NoiseFloorDb(const CImpulseAnalysis& analysis,
                                 const std::vector<double>& frequencyHz) {
  constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
  std::vector<double> noise(frequencyHz.size(), kNaN);
  if (!analysis.HasResult()) return noise;
  const long size = analysis.DeconvolutionLength();
  const long side = std::lround(analysis.UngatedWindowMs() * CImpulseAnalysis::kRate / 1000.0);

  // From the end of the linear response's window on, up to the first harmonic's response.
  const long start = side + kGuard;
  long end = size - side - kGuard;
  const int top = static_cast<int>(std::min<double>(
      kHighestHarmonic, std::floor(kPassedAboveFmax * analysis.Fmax() / analysis.Fmin())));
  for (int k = 2; k <= top; ++k) {
    const double lag = analysis.HarmonicLag(k);
    if (lag < static_cast<double>(size)) {
      end = std::min(end, static_cast<long>(std::floor(static_cast<double>(size) - lag)) - kGuard);
    }
  }
  // Four windows of the linear response's shape and length where they fit; else up to eight
  // shorter ones of the same shape, their power scaled to the linear window's (the noise is
  // stationary), never so short that 1/12 octave at fmin spans fewer than four bins.
  const long region = end - start;
  const long linear = 2 * side + 1;
  const long finest = std::lround(4.0 * CImpulseAnalysis::kRate /
                                  ((kHalfBand - 1.0 / kHalfBand) * analysis.Fmin()));
  const bool whole = region >= kMaxWindows * linear;
  const long width = whole ? linear : std::min(linear, std::max(region / 8, finest));
  const long windows = std::min(whole ? kMaxWindows : 8L, region > 0 ? region / width : 0L);
  if (windows == 0) return noise;
  const long half = width / 2;
  const auto weight = [](long i, long before, long after) {
    return WindowWeight(i, before, after, (before + after + 1) / 16, (before + after + 1) / 16);
  };
  double scale = 0.0;  // sum of w^2, the linear window's over this one's
  for (long i = -side; i <= side; ++i) scale += std::pow(weight(i, side, side), 2);
  double own = 0.0;
  for (long i = -half; i < width - half; ++i) own += std::pow(weight(i, half, width - 1 - half), 2);
  scale /= own;

  CRealFft fft(CRealFft::SmoothSize(static_cast<std::size_t>(width)));
  const auto bins = static_cast<std::size_t>(fft.Bins());
  std::vector<double> power(bins * static_cast<std::size_t>(windows), 0.0);  // per window
  for (long j = 0; j < windows; ++j) {
    const std::vector<double> samples = analysis.DeconvolutionSamples(start + j * width, width);
    double* t = fft.Time();
    std::fill(t, t + fft.Size(), 0.0);
    for (long i = 0; i < width; ++i) {
      t[i] = samples[static_cast<std::size_t>(i)] * weight(i - half, half, width - 1 - half);
    }
    fft.Forward();
    for (std::size_t b = 0; b < bins; ++b) {
      power[static_cast<std::size_t>(j) * bins + b] = std::norm(fft.Spectrum()[b]) * scale;
    }
  }

  // A window holds the noise of frequency f only where the recording does: lag t shows the
  // recording at t plus the reference sample at which the sweep passes f (round the
  // deconvolution), and the recording leaves a gap there (the rest of the transform's length,
  // and the fades) that moves with f. Windows that reach into it are left out at f.
  const long span = analysis.RecordingEnd() - analysis.RecordingFirst();
  const double binHz = static_cast<double>(CImpulseAnalysis::kRate) / fft.Size();
  const double leadIn = SweepLeadInSamples(analysis.Fmin());
  const long margin = kGuard + std::lround(analysis.HarmonicLag(kHalfBand));
  for (std::size_t i = 0; i < frequencyHz.size(); ++i) {
    const double f = frequencyHz[i];
    if (!(f >= analysis.Fmin() * (1.0 - 1e-9)) || !(f <= analysis.Fmax() * (1.0 + 1e-9))) continue;
    const long passes = std::lround(leadIn + analysis.HarmonicLag(f / analysis.Fmin()));
    const int last = fft.Bins() - 1;
    int from = std::clamp(static_cast<int>(std::ceil(f / kHalfBand / binHz)), 0, last);
    int to = std::clamp(static_cast<int>(std::floor(f * kHalfBand / binHz)), 0, last);
    if (from > to) from = to = std::clamp(static_cast<int>(std::lround(f / binHz)), 0, last);
    double sum = 0.0;
    long used = 0;
    for (long j = 0; j < windows; ++j) {
      long held = (start + j * width + passes - analysis.RecordingFirst() - margin) % size;
      if (held < 0) held += size;
      if (held + width + 2 * margin > span) continue;
      for (int b = from; b <= to; ++b) {
        sum += power[static_cast<std::size_t>(j) * bins + static_cast<std::size_t>(b)];
      }
      ++used;
    }
    if (used == 0) continue;
    const double mean = sum / static_cast<double>((to - from + 1) * used);
    noise[i] = (mean > 0.0 ? 10.0 * std::log10(mean) : -300.0) - analysis.CorrectionDb(f);
  }
  return noise;
}

std::vector<double> DistortionNoiseDb(const CImpulseAnalysis& analysis,
                                      const std::vector<DistortionRow>& rows) {
  std::vector<double> frequencies;
  frequencies.reserve(rows.size());
  for (const DistortionRow& row : rows) frequencies.push_back(row.frequencyHz);
  return NoiseFloorDb(analysis, frequencies);
}

}  // namespace quorvel

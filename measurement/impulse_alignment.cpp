#include "measurement/impulse_alignment.h"

#include <algorithm>
#include <cmath>
#include <complex>

#include "response/real_fft.h"

namespace quorvel {

namespace {

constexpr double kPi = 3.14159265358979323846;
// The golden-section search narrows the correlation's peak to well below 1e-6 samples.
constexpr int kRefineSteps = 48;

// A transform at least twice the windows' length, so that the correlation does not wrap round
// at the lags it is read at.
int TransformSize(std::size_t length) {
  return CRealFft::SmoothSize(2 * length + 2);
}

// The spectrum of a window, zero-padded to the transform's size.
std::vector<std::complex<double>> SpectrumOf(CRealFft& fft, std::span<const double> window) {
  std::fill(fft.Time(), fft.Time() + fft.Size(), 0.0);
  std::copy(window.begin(), window.end(), fft.Time());
  fft.Forward();
  return {fft.Spectrum(), fft.Spectrum() + fft.Bins()};
}

// The correlation sum_n other[n] reference[n - lag] at a lag between samples, read from the
// cross-spectrum: the band-limited interpolation of its samples.
double CorrelationAt(const std::vector<std::complex<double>>& cross, int size, double lag) {
  const std::complex<double> step = std::polar(1.0, 2.0 * kPi * lag / size);
  std::complex<double> turn = step;
  double sum = cross.front().real();
  const std::size_t nyquist = static_cast<std::size_t>(size / 2);
  for (std::size_t k = 1; k < nyquist; ++k) {
    sum += 2.0 * (cross[k] * turn).real();
    turn *= step;
  }
  sum += (cross[nyquist] * std::polar(1.0, kPi * lag)).real();
  return sum / size;
}

}  // namespace

double ImpulseDelaySamples(std::span<const double> reference, std::span<const double> other) {
  const std::size_t length = std::max(reference.size(), other.size());
  if (length == 0) return 0.0;
  CRealFft fft(TransformSize(length));
  const int size = fft.Size();
  const std::vector<std::complex<double>> r = SpectrumOf(fft, reference);
  const std::vector<std::complex<double>> o = SpectrumOf(fft, other);
  std::vector<std::complex<double>> cross(r.size());
  for (std::size_t k = 0; k < r.size(); ++k) cross[k] = o[k] * std::conj(r[k]);
  std::copy(cross.begin(), cross.end(), fft.Spectrum());
  fft.Inverse();
  // the largest correlation at a whole lag (lags past half the transform are negative)
  const double* c = fft.Time();
  int best = 0;
  for (int i = 1; i < size; ++i) {
    if (c[i] > c[best]) best = i;
  }
  if (!(c[best] > 0.0)) return 0.0;
  const double whole = best < size / 2 ? best : best - size;
  // a golden-section search for the largest correlation within a sample of it
  const double g = 0.5 * (std::sqrt(5.0) - 1.0);
  double lo = whole - 1.0, hi = whole + 1.0;
  double x1 = hi - g * (hi - lo), x2 = lo + g * (hi - lo);
  double f1 = CorrelationAt(cross, size, x1), f2 = CorrelationAt(cross, size, x2);
  for (int step = 0; step < kRefineSteps; ++step) {
    if (f1 < f2) {
      lo = x1;
      x1 = x2;
      f1 = f2;
      x2 = lo + g * (hi - lo);
      f2 = CorrelationAt(cross, size, x2);
    } else {
      hi = x2;
      x2 = x1;
      f2 = f1;
      x1 = hi - g * (hi - lo);
      f1 = CorrelationAt(cross, size, x1);
    }
  }
  return 0.5 * (lo + hi);
}

MeanImpulse AlignedMeanImpulse(const std::vector<std::span<const double>>& windows,
                               std::span<const double> advances) {
  MeanImpulse mean;
  if (windows.empty()) return mean;
  const std::size_t length = windows.front().size();
  CRealFft fft(TransformSize(length));
  const int size = fft.Size();
  std::vector<std::complex<double>> sum(static_cast<std::size_t>(fft.Bins()), 0.0);
  for (std::size_t i = 0; i < windows.size(); ++i) {
    const std::vector<std::complex<double>> s = SpectrumOf(fft, windows[i]);
    const double advance = i < advances.size() ? advances[i] : 0.0;
    for (std::size_t k = 0; k < s.size(); ++k) {
      sum[k] += s[k] * std::polar(1.0, 2.0 * kPi * static_cast<double>(k) * advance / size);
    }
  }
  // the Nyquist bin of a real signal is real: a fractional advance leaves it its real part
  sum.back() = sum.back().real();
  std::copy(sum.begin(), sum.end(), fft.Spectrum());
  fft.Inverse();
  const double scale = 1.0 / (static_cast<double>(size) * static_cast<double>(windows.size()));
  mean.samples.resize(length);
  for (std::size_t n = 0; n < length; ++n) mean.samples[n] = fft.Time()[n] * scale;
  std::size_t best = 0;
  for (std::size_t n = 1; n < length; ++n) {
    if (std::abs(mean.samples[n]) > std::abs(mean.samples[best])) best = n;
  }
  mean.peak = static_cast<double>(best);
  if (best > 0 && best + 1 < length) {
    const double a = std::abs(mean.samples[best - 1]), b = std::abs(mean.samples[best]);
    const double c = std::abs(mean.samples[best + 1]);
    const double curve = a - 2.0 * b + c;
    if (curve < 0.0) mean.peak += std::clamp(0.5 * (a - c) / curve, -0.5, 0.5);
  }
  return mean;
}

}  // namespace quorvel

#include "response/impulse_response.h"

#include <algorithm>
#include <cmath>

#include "response/impulse_analysis.h"
#include "response/real_fft.h"

namespace quorvel {

namespace {

constexpr double kPi = 3.14159265358979323846;
// Zero-padding: the transform is at least four times the response, and at least this long, so
// that the spectrum between two bins is smooth enough to interpolate.
constexpr std::size_t kMinSpectrumSize = 65536;
constexpr double kMaxRate = 768000.0;

}  // namespace

bool ImpulseResponse::Usable() const {
  return !samples.empty() && static_cast<double>(samples.size()) <= kMaxViewSamples &&
         peakIndex >= 0 && peakIndex < static_cast<long>(samples.size()) &&
         std::abs(peakFraction) <= 1.0 && rate > 0.0 && rate <= kMaxRate;
}

ImpulseResponse LinearImpulse(const CImpulseAnalysis& analysis, double beforeMs, double afterMs) {
  ImpulseResponse response;
  if (!analysis.HasResult()) return response;
  response.rate = CImpulseAnalysis::kRate;
  const double perMs = response.rate / 1000.0;
  // not a number reads as 0
  const auto samples = [perMs](double ms) {
    return static_cast<int>(std::lround((ms > 0.0 ? std::min(ms, kMaxViewMs) : 0.0) * perMs));
  };
  const int before = samples(beforeMs);
  const int after = samples(afterMs);
  response.samples = analysis.LinearSamples(-before, before + after + 1);
  response.peakIndex = before;
  response.peakFraction = analysis.PeakFraction();
  response.fmin = analysis.Fmin();
  response.fmax = analysis.Fmax();
  return response;
}

CImpulseSpectrum::CImpulseSpectrum(const ImpulseResponse& response) : m_rate(response.rate) {
  if (!response.Usable()) return;
  const std::size_t n = response.samples.size();
  CRealFft fft(CRealFft::SmoothSize(std::max(4 * n, kMinSpectrumSize)));
  m_size = fft.Size();
  double* t = fft.Time();
  std::fill(t, t + m_size, 0.0);
  // The peak sample goes to index 0 and the samples before it to the end, so the spectrum
  // carries no delay but the sub-sample one.
  for (std::size_t i = 0; i < n; ++i) {
    long at = static_cast<long>(i) - response.peakIndex;
    if (at < 0) at += m_size;
    t[at] = response.samples[i];
  }
  fft.Forward();
  m_bins.assign(fft.Spectrum(), fft.Spectrum() + fft.Bins());
  m_delay = response.peakFraction;
}

std::complex<double> CImpulseSpectrum::At(double frequencyHz) const {
  if (m_bins.size() < 2 || !std::isfinite(frequencyHz)) return 0.0;
  const double x = frequencyHz * m_size / m_rate;
  const long last = static_cast<long>(m_bins.size()) - 2;
  const long i = std::clamp(static_cast<long>(std::floor(x)), 0L, last);
  const double u = x - static_cast<double>(i);
  const auto k = static_cast<std::size_t>(i);
  const std::complex<double> v = m_bins[k] * (1.0 - u) + m_bins[k + 1] * u;
  return v * std::polar(1.0, 2.0 * kPi * frequencyHz * m_delay / m_rate);
}

}  // namespace quorvel

// The windowed responses of an analysis (linear ungated, linear gated, harmonics 2..5), their
// spectra, and the queries that read level and phase from them.
#include <algorithm>
#include <cmath>
#include <limits>
#include <new>
#include <utility>

#include "response/impulse_analysis.h"
#include "response/real_fft.h"
#include "response/response_window.h"

namespace quorvel {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
// A window's transform is at least twice its length: the spectrum between two bins is then
// smooth enough to interpolate. The gate's is at least this long.
constexpr long kMinGatedFft = 8192;
// Levels below this read as it instead of minus infinity [dB].
constexpr double kLevelFloorDb = -300.0;
constexpr double kSamplesPerMs = CImpulseAnalysis::kRate / 1000.0;

double LevelDb(std::complex<double> v) {
  const double magnitude = std::abs(v);
  return magnitude > 0.0 ? std::max(20.0 * std::log10(magnitude), kLevelFloorDb) : kLevelFloorDb;
}

}  // namespace

void CImpulseAnalysis::BuildSpectra() {
  const long side = m_ungatedSide;
  // Every ungated window fits one transform size.
  const int size =
      std::max(kAlignSize, CRealFft::SmoothSize(static_cast<std::size_t>(4 * side + 2)));
  Extract(m_linear, size, m_peak, m_peakFraction, side, side, side / 8, side / 8);
  // Each harmonic's window reaches half-way to its neighbours' responses: harmonic k + 1 lies
  // before it, harmonic k - 1 (or the linear response) after it.
  const double* offset = m_harmonicOffset;
  m_harmonicsBuilt = m_harmonicsWanted;
  for (int k = 2; k <= kMaxHarmonic; ++k) {
    if (k > m_harmonics || !m_harmonicsBuilt) {
      m_harmonic[k] = Spectrum();
      continue;
    }
    const double position = static_cast<double>(m_peak) + m_peakFraction - offset[k];
    const long centre = std::lround(position);
    const long before = std::min(std::lround((offset[k + 1] - offset[k]) / 2), side);
    const long after = std::min(std::lround((offset[k] - offset[k - 1]) / 2), side);
    Extract(m_harmonic[k], size, centre, position - static_cast<double>(centre), before, after,
            before / 8, after / 8);
  }
  BuildGated();
}

void CImpulseAnalysis::BuildGated() {
  if (!(m_gateMs > 0.0) || !m_pFull) {
    m_gated = Spectrum();
    return;
  }
  const long before = std::lround(kPreGateMs * kSamplesPerMs);
  const long after =
      std::lround(std::min(m_gateMs * kSamplesPerMs, static_cast<double>(m_ungatedSide)));
  const int size = CRealFft::SmoothSize(
      static_cast<std::size_t>(std::max(2 * (before + after + 1), kMinGatedFft)));
  Extract(m_gated, size, m_peak, m_peakFraction, before, after, before / 2, after / 2);
}

void CImpulseAnalysis::Extract(Spectrum& out, int size, long centre, double delay, long before,
                               long after, long rampBefore, long rampAfter) {
  CRealFft& fft = WindowFft(size);
  double* t = fft.Time();
  std::fill(t, t + size, 0.0);
  // The centre sample goes to index 0 and the samples before it to the end of the buffer, so
  // the spectrum carries no delay but the sub-sample one.
  const double* h = m_pFull->Time();
  const long full = m_pFull->Size();
  long at = Wrap(centre - before);
  for (long i = -before; i <= after; ++i) {
    t[i < 0 ? i + size : i] = h[at] * WindowWeight(i, before, after, rampBefore, rampAfter);
    if (++at == full) at = 0;
  }
  fft.Forward();
  out.bins.assign(fft.Spectrum(), fft.Spectrum() + fft.Bins());
  out.size = size;
  out.delay = delay;
}

CRealFft& CImpulseAnalysis::WindowFft(int size) {
  for (const auto& fft : m_windowFfts) {
    if (fft->Size() == size) return *fft;
  }
  m_windowFfts.push_back(std::make_unique<CRealFft>(size));
  return *m_windowFfts.back();
}

std::complex<double> CImpulseAnalysis::Interpolate(const Spectrum& s, double frequencyHz) const {
  const double x = frequencyHz * s.size / kRate;
  const long last = static_cast<long>(s.bins.size()) - 2;
  const long i = std::clamp(static_cast<long>(std::floor(x)), 0L, last);
  const double t = x - static_cast<double>(i);
  const std::complex<double> v =
      s.bins[static_cast<std::size_t>(i)] * (1.0 - t) + s.bins[static_cast<std::size_t>(i + 1)] * t;
  // The time reference lies `delay` samples after the window's centre sample.
  return v * std::polar(1.0, 2.0 * kPi * frequencyHz * s.delay / kRate);
}

double CImpulseAnalysis::Correction(double frequencyHz) const {
  return (m_correction ? m_correction(frequencyHz) : 0.0) - m_levelAddedDb;
}

void CImpulseAnalysis::SetLevelScale(double addedDb, std::string words) {
  m_levelAddedDb = addedDb;
  m_levelScaleWords = std::move(words);
}

void CImpulseAnalysis::SetGate(double gateMs) {
  m_gateMs = gateMs > 0.0 ? gateMs : 0.0;
  if (!m_bValid) return;
  try {
    BuildGated();
  } catch (const std::bad_alloc&) {
    // a gated spectrum half made is no result: the object starts again as a new one would
    ReleaseTransforms();
    throw;
  }
}

void CImpulseAnalysis::SetCorrection(LevelCorrection correction, std::string name) {
  m_correction = std::move(correction);
  m_correctionName = std::move(name);
}

double CImpulseAnalysis::UngatedWindowMs() const {
  return m_ungatedSide / kSamplesPerMs;
}

double CImpulseAnalysis::AppliedGateMs() const {
  // before the first analysis the window's reach is not known yet
  return m_ungatedSide > 0 ? std::min(m_gateMs, UngatedWindowMs()) : m_gateMs;
}

LevelPhase CImpulseAnalysis::ResponseAt(double frequencyHz) const {
  if (!m_bValid || !(frequencyHz > 0.0) || !(frequencyHz <= kRate / 2)) return {kNaN, kNaN};
  std::complex<double> v = Interpolate(m_gateMs > 0.0 ? m_gated : m_linear, frequencyHz);
  if (m_timing.loopback) {
    // timed from the reference's peak, earlier than the own one by the delay
    const double shift = m_peakPosition - m_timing.position;  // [samples]
    v *= std::polar(1.0, -2.0 * kPi * frequencyHz * shift / kRate);
  }
  double phase = std::arg(v) * 180.0 / kPi;
  if (phase <= -180.0) phase += 360.0;
  return {LevelDb(v) - Correction(frequencyHz), phase};
}

// Why |H_k(k f)| is the level of the k-th harmonic made while the sweep passed f. The sweep's
// phase is phi(t) = 2 pi fmin L (e^(t/L) - 1) with L = T / ln(fmax / fmin) (T = 20 s), so its
// frequency at t is fmin e^(t/L). A distortion that turns a tone of amplitude A at f into
// harmonics of amplitudes a_k(f) adds a_k(f(t)) sin(k phi(t) + c_k) to the recording, and
//   k phi(t) = phi(t + L ln k) - 2 pi fmin L (k - 1):
// that term is the played sweep itself, L ln k earlier, turned by a constant phase and scaled by
// a_k(f) / A at the instant the sweep passes f, which is when the earlier sweep sounds at k f.
// Divided by the played signal it becomes a response L ln k before the linear one whose
// magnitude at k f is a_k(f) / A: the harmonic's amplitude relative to the played amplitude,
// the scale of the linear response. The constant phase leaves the magnitude alone.
double CImpulseAnalysis::HarmonicDb(int k, double frequencyHz) const {
  if (!m_bValid || k < 1 || k > m_harmonics || !(frequencyHz > 0.0)) return kNaN;
  if (k > 1 && !m_harmonicsBuilt) return kNaN;
  const double sounding = k * frequencyHz;
  // A little room for rounding in the rows' frequencies.
  if (!(sounding <= m_fmax * (1.0 + 1e-9)) || !(sounding <= kRate / 2)) return kNaN;
  const Spectrum& s = k == 1 ? m_linear : m_harmonic[k];
  return LevelDb(Interpolate(s, sounding)) - Correction(sounding);
}

std::vector<DistortionRow> CImpulseAnalysis::DistortionRows() const {
  std::vector<DistortionRow> rows;
  if (!m_bValid) return rows;
  for (int i = 0;; ++i) {
    const double f = m_fmin * std::exp2(i / 12.0);
    if (!(f <= m_fmax * (1.0 + 1e-9))) break;
    DistortionRow row;
    row.frequencyHz = f;
    row.fundamentalDb = HarmonicDb(1, f);
    double power = 0.0;  // of the harmonics relative to the fundamental
    bool any = false;
    for (int k = 2; k <= kMaxHarmonic; ++k) {
      const double db = HarmonicDb(k, f);
      row.harmonicDb[k - 2] = db;
      if (std::isfinite(db)) {
        power += std::pow(10.0, (db - row.fundamentalDb) / 10.0);
        any = true;
      }
    }
    row.thdPercent = any ? 100.0 * std::sqrt(power) : kNaN;
    rows.push_back(row);
  }
  return rows;
}

std::vector<float> CImpulseAnalysis::ImpulseSamples(int first, int count) const {
  const std::vector<double> exact = LinearSamples(first, count);
  return std::vector<float>(exact.begin(), exact.end());
}

std::vector<double> CImpulseAnalysis::LinearSamples(int first, int count) const {
  std::vector<double> samples(static_cast<std::size_t>(std::max(count, 0)), 0.0);
  if (!m_bValid) return samples;
  const double* h = m_pFull->Time();
  const long side = m_ungatedSide;
  for (std::size_t n = 0; n < samples.size(); ++n) {
    const long i = first + static_cast<long>(n);
    const double w = WindowWeight(i, side, side, side / 8, side / 8);
    if (w > 0.0) samples[n] = h[Wrap(m_peak + i)] * w;
  }
  return samples;
}

std::complex<double> CImpulseAnalysis::TransferAt(double frequencyHz) const {
  if (!m_bValid || !(frequencyHz >= 0.0) || !(frequencyHz <= kRate / 2)) return 0.0;
  return Interpolate(m_gateMs > 0.0 ? m_gated : m_linear, frequencyHz);
}

std::vector<double> CImpulseAnalysis::DeconvolutionSamples(long first, long count) const {
  std::vector<double> samples(static_cast<std::size_t>(std::max(count, 0L)), 0.0);
  if (!m_bValid) return samples;
  const double* h = m_pFull->Time();
  for (std::size_t n = 0; n < samples.size(); ++n) {
    samples[n] = h[Wrap(m_peak + first + static_cast<long>(n))];
  }
  return samples;
}

long CImpulseAnalysis::DeconvolutionLength() const {
  return m_bValid ? m_pFull->Size() : 0;
}

double CImpulseAnalysis::HarmonicLag(double k) const {
  // m_harmonicOffset[2] is L ln 2
  return k > 0.0 ? m_harmonicOffset[2] / std::log(2.0) * std::log(k) : 0.0;
}

}  // namespace quorvel

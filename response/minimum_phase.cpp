#include "response/minimum_phase.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "response/real_fft.h"

namespace quorvel {

namespace {

constexpr double kPi = 3.14159265358979323846;
// The grid: 0.73 Hz apart at 48000 Hz, fine enough for a sweep from 20 Hz, and a cepstrum long
// enough that its aliasing stays far below a hundredth of a degree.
constexpr int kSize = 65536;
constexpr double kEdgeOctaves = 0.5;
constexpr double kMaxSlopeDbPerOctave = 48.0;
constexpr double kMaxFallDb = 120.0;

// The least-squares slope [dB per octave] of the points with frequencies in [from, to].
double Slope(const std::vector<double>& f, const std::vector<double>& db, double from, double to) {
  double n = 0.0, sx = 0.0, sy = 0.0, sxx = 0.0, sxy = 0.0;
  for (std::size_t i = 0; i < f.size(); ++i) {
    if (f[i] < from || f[i] > to) continue;
    const double x = std::log2(f[i]);
    n += 1.0;
    sx += x;
    sy += db[i];
    sxx += x * x;
    sxy += x * db[i];
  }
  const double den = n * sxx - sx * sx;
  if (n < 2.0 || !(den > 0.0)) return 0.0;
  return std::clamp((n * sxy - sx * sy) / den, -kMaxSlopeDbPerOctave, kMaxSlopeDbPerOctave);
}

bool IsCurve(const std::vector<double>& f, const std::vector<double>& db, double rate) {
  if (f.size() < 2 || f.size() != db.size() || !(f.front() > 0.0) || !(f.back() < rate / 2)) {
    return false;
  }
  for (std::size_t i = 0; i < f.size(); ++i) {
    if (!std::isfinite(db[i]) || (i > 0 && !(f[i] > f[i - 1]))) return false;
  }
  return true;
}

}  // namespace

std::vector<double> MinimumPhaseDeg(const std::vector<double>& frequencyHz,
                                    const std::vector<double>& levelDb,
                                    const std::vector<double>& at, double rate) {
  std::vector<double> phase(at.size(), std::numeric_limits<double>::quiet_NaN());
  if (!(rate > 0.0) || !IsCurve(frequencyHz, levelDb, rate)) return phase;
  const double lowHz = frequencyHz.front(), highHz = frequencyHz.back();
  const double lowDb = levelDb.front(), highDb = levelDb.back();
  const double lowSlope = Slope(frequencyHz, levelDb, lowHz, lowHz * std::exp2(kEdgeOctaves));
  const double highSlope = Slope(frequencyHz, levelDb, highHz * std::exp2(-kEdgeOctaves), highHz);

  CRealFft fft(kSize);
  std::complex<double>* s = fft.Spectrum();
  const double binHz = rate / kSize;
  constexpr double kNepersPerDb = 0.11512925464970229;  // ln(10) / 20
  std::size_t j = 0;  // the curve's segment [j, j + 1] that holds the bin
  for (int k = 0; k < fft.Bins(); ++k) {
    // 0 Hz takes the level half a bin above it: a log of 0 Hz would be minus infinity.
    const double f = (k == 0 ? 0.5 : k) * binHz;
    double db = 0.0;
    if (f <= lowHz) {
      db = std::max(lowDb + lowSlope * std::log2(f / lowHz), lowDb - kMaxFallDb);
    } else if (f >= highHz) {
      db = std::max(highDb + highSlope * std::log2(f / highHz), highDb - kMaxFallDb);
    } else {
      while (frequencyHz[j + 1] < f) ++j;
      const double u = std::log(f / frequencyHz[j]) / std::log(frequencyHz[j + 1] / frequencyHz[j]);
      db = levelDb[j] + u * (levelDb[j + 1] - levelDb[j]);
    }
    s[k] = db * kNepersPerDb;
  }
  // The real cepstrum of ln |H|, folded onto its causal half: its transform is ln |H| + j phase
  // of the minimum-phase system.
  fft.Inverse();
  double* c = fft.Time();
  const double scale = 1.0 / kSize;
  c[0] *= scale;
  for (int n = 1; n < kSize / 2; ++n) c[n] *= 2.0 * scale;
  c[kSize / 2] *= scale;
  std::fill(c + kSize / 2 + 1, c + kSize, 0.0);
  fft.Forward();
  for (std::size_t i = 0; i < at.size(); ++i) {
    if (!(at[i] >= 0.0) || !(at[i] <= rate / 2)) continue;
    const double x = at[i] / binHz;
    const int b = std::min(static_cast<int>(x), fft.Bins() - 2);
    const double u = x - b;
    phase[i] = (s[b].imag() * (1.0 - u) + s[b + 1].imag() * u) * 180.0 / kPi;
  }
  return phase;
}

}  // namespace quorvel

#include "audio/sim/piston_directivity.h"

#include <cmath>

namespace quorvel {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr int kGrid = 8192;  // D is sampled every rate / kGrid

// k a sin(angle) at 1 Hz
double XPerHz(double angleDeg) {
  return 2.0 * kPi / kSpeedOfSoundMps * kPistonRadiusM * std::sin(angleDeg * kPi / 180.0);
}

double Directivity(double x) {
  x = std::abs(x);
  // 2 J1(x) / x = 1 - x^2 / 8 + ... : below 1e-4 the series' next term is below 1e-17
  if (x < 1e-4) return 1.0 - x * x / 8.0;
  return 2.0 * std::cyl_bessel_j(1.0, x) / x;
}

}  // namespace

double PistonDirectivity(double frequencyHz, double angleDeg) {
  return Directivity(XPerHz(angleDeg) * frequencyHz);
}

PistonFir DesignPistonFir(double angleDeg, double rate) {
  PistonFir fir;
  fir.taps[0] = 1.0;
  const double xPerHz = XPerHz(angleDeg);
  // Within a thousandth of a degree of the axis D differs from 1 by less than 1e-12 at 24 kHz.
  if (!std::isfinite(xPerHz) || !(rate > 0.0) || std::abs(xPerHz) * rate / 2 < 1e-6) return fir;
  fir.onAxis = false;
  // The inverse transform of the real, even D sampled on the grid: h[n] = (1/N) sum_k D_k
  // cos(2 pi k n / N).
  for (double& tap : fir.taps) tap = 0.0;
  for (int k = 0; k <= kGrid / 2; ++k) {
    const double d = Directivity(xPerHz * rate * k / kGrid);
    const double weight = k == 0 || k == kGrid / 2 ? 1.0 : 2.0;
    for (int n = 0; n <= PistonFir::kHalfLength; ++n) {
      fir.taps[static_cast<std::size_t>(n)] +=
          weight * d * std::cos(2.0 * kPi * static_cast<double>(k) * n / kGrid);
    }
  }
  for (double& tap : fir.taps) tap /= kGrid;
  return fir;
}

}  // namespace quorvel

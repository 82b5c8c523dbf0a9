#pragma once

// The direction of the simulated loudspeaker: a rigid piston in an infinite baffle, heard at an
// angle off its axis. Its far-field pressure relative to the axis is
//   D = 2 J1(x) / x,  x = k a sin(angle),  k = 2 pi f / c,
// real (zero-phase): the piston's impulse response off axis is a half-ellipse centred on the
// on-axis arrival, a sin(angle) / c either side of it.
#include <array>

namespace quorvel {

inline constexpr double kPistonRadiusM = 0.08;
inline constexpr double kSpeedOfSoundMps = 343.0;

// D at frequencyHz and angleDeg off axis: 1 on axis and at 0 Hz, first 0 where x = 3.8317.
// The formula is the same behind the baffle as in front (180 - angle reads as angle).
[[nodiscard]] double PistonDirectivity(double frequencyHz, double angleDeg);

// D as a symmetric FIR filter: 2 kHalfLength + 1 taps, taps[0] the centre and taps[n] those n
// samples either side; it delays by kHalfLength samples. Designed by sampling D every rate / 8192
// up to half the rate: the half-ellipse lasts at most 0.47 ms (23 samples), so the taps beyond
// it are only the band limit's ripple, and the cut leaves the filter within 4e-4 of D up to
// 20 kHz (0.03 dB where D is above -30 dB).
struct PistonFir {
  static constexpr int kHalfLength = 32;
  std::array<double, kHalfLength + 1> taps{};
  bool onAxis = true;  // D = 1 everywhere: the filter is a pure delay
};

// Designs the filter for angleDeg at rate [Hz]. Takes a few milliseconds; never allocates.
[[nodiscard]] PistonFir DesignPistonFir(double angleDeg, double rate);

}  // namespace quorvel

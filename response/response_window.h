#pragma once

#include <cmath>

namespace quorvel {

// The tapers of the impulse-response analysis.

// Half-Hann ramp: 0 at position 0, 1 at `length` and beyond, sin^2(pi/2 * position / length)
// between.
[[nodiscard]] inline double HalfHannRamp(double position, double length) {
  if (!(position > 0.0)) return 0.0;
  if (position >= length) return 1.0;
  const double s = std::sin(1.5707963267948966 * position / length);
  return s * s;
}

// The weight of sample i (counted from a response's centre sample) in a window that keeps
// -before .. after, rising with a half-Hann ramp over its first rampBefore samples and falling
// with one over its last rampAfter samples.
[[nodiscard]] inline double WindowWeight(long i, long before, long after, long rampBefore,
                                         long rampAfter) {
  if (i < -before || i > after) return 0.0;
  double w = 1.0;
  if (i < rampBefore - before) {
    w = HalfHannRamp(static_cast<double>(i + before) + 0.5, static_cast<double>(rampBefore));
  }
  if (i > after - rampAfter) {
    w *= HalfHannRamp(static_cast<double>(after - i) + 0.5, static_cast<double>(rampAfter));
  }
  return w;
}

}  // namespace quorvel

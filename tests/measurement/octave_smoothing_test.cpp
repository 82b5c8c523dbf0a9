// Fractional-octave smoothing against the power average's closed form.
#include "measurement/octave_smoothing.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace quorvel {
namespace {

// A trace whose power grows in proportion to frequency (+10 dB per decade) averages, over a
// band of +-h octaves, to its own power times sinh(h ln 2) / (h ln 2); a flat trace stays flat.
TEST(OctaveSmoothing, PowerAverageOverTheBandMatchesTheClosedForm) {
  std::vector<double> hz, rising, flat;
  for (int k = 0; k <= 480; ++k) {
    hz.push_back(20.0 * std::pow(1000.0, k / 480.0));
    rising.push_back(10.0 * std::log10(hz.back() / 1000.0));
    flat.push_back(-3.0);
  }
  const std::vector<double> at = {100.0, 1000.0, 5000.0};
  for (const double bands : {1.0, 3.0, 6.0, 24.0}) {
    const double h = 0.5 / bands * M_LN2;
    const double liftDb = 10.0 * std::log10(std::sinh(h) / h);
    const std::vector<double> smoothed = SmoothFractionalOctaveDb(hz, rising, bands, at);
    const std::vector<double> level = SmoothFractionalOctaveDb(hz, flat, bands, at);
    for (size_t i = 0; i < at.size(); ++i) {
      EXPECT_NEAR(smoothed[i], 10.0 * std::log10(at[i] / 1000.0) + liftDb, 0.005) << bands;
      EXPECT_NEAR(level[i], -3.0, 1e-9);
    }
  }
}

}  // namespace
}  // namespace quorvel

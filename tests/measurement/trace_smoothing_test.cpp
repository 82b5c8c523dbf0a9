// A view's smoothings of a known tilt, and their names.
#include "measurement/trace_smoothing.h"

#include <gtest/gtest.h>

#include <iterator>

#include "tests/measurement/take_support.h"

namespace quorvel {
namespace {

// Power growing with frequency (+10 dB per decade) averages over a band of +-h octaves to its
// own power times sinh(h ln 2) / (h ln 2).
TEST(TraceSmoothing, EachViewSmoothingPowerAveragesAKnownTiltAndIsNamed) {
  const char* names[] = {"no smoothing", "1/48 octave", "1/24 octave", "1/12 octave",
                         "1/6 octave",   "1/3 octave",  "1/1 octave"};
  ASSERT_EQ(std::size(names), std::size(kViewSmoothings));
  const auto tilt = [](double f) { return 10.0 * std::log10(f / 1000.0); };
  for (std::size_t i = 0; i < std::size(names); ++i) {
    const int bands = kViewSmoothings[i];
    EXPECT_TRUE(SmoothingBands(bands).Ok() && SmoothingName(bands) == names[i]) << names[i];
    const double h = bands > 0 ? 0.5 / bands * M_LN2 : 1e-9;
    const Trace smoothed = Smoothed(takes::Curve("tilt", 20.0, 20000.0, tilt), bands);
    EXPECT_EQ(smoothed.smoothingBands, bands);
    for (std::size_t k = 0; k < smoothed.frequenciesHz.size(); ++k) {
      const double f = smoothed.frequenciesHz[k];
      if (f < 50.0 || f > 8000.0) continue;  // a band cut at the trace's ends reads otherwise
      ASSERT_NEAR(smoothed.levelsDb[k], tilt(f) + 10.0 * std::log10(std::sinh(h) / h), 0.005)
          << names[i] << " at " << f;
    }
  }
  EXPECT_FALSE(SmoothingBands(-1).Ok() || SmoothingBands(kMaxSmoothingBands + 1).Ok());
}

}  // namespace
}  // namespace quorvel

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
  const struct {
    int bands;
    const char* name;
  } cases[] = {{0, "no smoothing"}, {48, "1/48 octave"}, {24, "1/24 octave"}, {12, "1/12 octave"},
               {6, "1/6 octave"},   {3, "1/3 octave"},   {1, "1/1 octave"}};
  ASSERT_EQ(std::size(cases), std::size(kViewSmoothings));
  const auto tilt = [](double f) { return 10.0 * std::log10(f / 1000.0); };
  const Trace trace = takes::Curve("tilt", 20.0, 20000.0, tilt);
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    const int bands = cases[i].bands;
    EXPECT_EQ(kViewSmoothings[i], bands);
    EXPECT_EQ(SmoothingName(bands), cases[i].name);
    EXPECT_TRUE(SmoothingBands(bands).Ok());
    const double h = bands > 0 ? 0.5 / bands * M_LN2 : 0.0;
    const double liftDb = bands > 0 ? 10.0 * std::log10(std::sinh(h) / h) : 0.0;
    const Trace smoothed = Smoothed(trace, bands);
    EXPECT_EQ(smoothed.smoothingBands, bands);
    for (std::size_t k = 0; k < trace.frequenciesHz.size(); ++k) {
      const double f = trace.frequenciesHz[k];
      if (f < 50.0 || f > 8000.0) continue;  // a band cut at the trace's ends reads otherwise
      ASSERT_NEAR(smoothed.levelsDb[k], tilt(f) + liftDb, 0.005) << bands << " at " << f;
    }
  }
  EXPECT_FALSE(SmoothingBands(-1).Ok());
  EXPECT_FALSE(SmoothingBands(kMaxSmoothingBands + 1).Ok());
}

}  // namespace
}  // namespace quorvel

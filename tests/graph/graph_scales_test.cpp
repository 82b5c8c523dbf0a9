// The graph's scales: point to frequency, frequency to x, level to height, ticks and decades.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "graph/graph_scales.h"
#include "graph/graphical.h"

namespace quorvel {

namespace {

TEST(GraphScales, PointFrequencyFollowsTheSweep) {
  EXPECT_DOUBLE_EQ(PointFrequency(0, 20.0, 20000.0), 20.0);
  EXPECT_NEAR(PointFrequency(1000, 20.0, 20000.0), 20000.0, 1e-9);
  EXPECT_NEAR(PointFrequency(500, 20.0, 20000.0), 632.46, 0.005);
}

TEST(GraphScales, FrequencyToX) {
  EXPECT_EQ(FrequencyToX(20.0, 20.0, 20000.0), 33);
  EXPECT_EQ(FrequencyToX(PointFrequency(500, 20.0, 20000.0), 20.0, 20000.0), 533);
  EXPECT_EQ(FrequencyToX(200.0, 20.0, 20000.0), 366);
  EXPECT_EQ(FrequencyToX(2000.0, 20.0, 20000.0), 700);
  EXPECT_EQ(FrequencyToX(20000.0, 20.0, 20000.0), 1033);
  EXPECT_EQ(PointToX(0), 32);
  EXPECT_EQ(PointToX(999), 1031);
}

TEST(GraphScales, LevelToHeight) {
  EXPECT_EQ(LevelToHeight(0.0), 426);
  EXPECT_EQ(LevelToHeight(-89.9), 22);  // 426 - 404.55 rounds to 21, raised to the axis
  EXPECT_EQ(LevelToHeightUnclamped(-89.9), 21);
  EXPECT_EQ(LevelToHeight(-90.0), 22);
  EXPECT_EQ(LevelToHeight(-1.0), 421);  // 426 - 4.5 rounds away from zero: 421
  EXPECT_EQ(LevelToHeight(1.0), 431);   // 426 + 4.5 -> 431
  EXPECT_EQ(LevelToHeight(-200.0), 22);
  EXPECT_EQ(LevelToHeight(-INFINITY), 22);
  EXPECT_EQ(LevelToHeight(std::nan("")), 22);  // not a level: no signal
  EXPECT_EQ(RoundHalfAway(-2.5), -3);
  EXPECT_EQ(RoundHalfAway(2.5), 3);
  EXPECT_EQ(RoundHalfAway(1e30), INT32_MAX);
}

TEST(GraphScales, GridNeedsAboutADecade) {
  EXPECT_TRUE(GridIsDrawable(20.0, 20000.0));
  EXPECT_TRUE(GridIsDrawable(100.0, 1000.0));
  EXPECT_FALSE(GridIsDrawable(100.0, 500.0));
  EXPECT_FALSE(GridIsDrawable(0.005, 20000.0));
  EXPECT_FALSE(GridIsDrawable(std::nan(""), 20000.0));
}

TEST(GraphScales, FrequencyTicksFor20To20000) {
  FrequencyTick ticks[kMaxFrequencyTicks];
  const int n = BuildFrequencyTicks(20.0, 20000.0, ticks);
  ASSERT_EQ(n, 31);  // 20, 40 .. 200; 200 .. 2000; 2000 .. 20000; 20000
  std::vector<std::string> labels;
  for (int i = 0; i < n; ++i) {
    if (ticks[i].labelled) labels.push_back(CGraphical::FormatAxisNumber(6, ticks[i].frequency));
  }
  const std::vector<std::string> first = {"20", "40", "60", "80", "100", "140", "200"};
  for (size_t i = 0; i < first.size(); ++i) EXPECT_EQ(labels[i], first[i]);
  EXPECT_EQ(labels.back(), "20000");
  EXPECT_TRUE(ticks[0].decadeStart);
  EXPECT_FALSE(ticks[1].decadeStart);
  EXPECT_EQ(ticks[1].x, FrequencyToX(40.0, 20.0, 20000.0));
  EXPECT_EQ(ticks[n - 1].x, 1033);
}

TEST(GraphScales, DecadeLines) {
  int xs[kMaxDecadeLines];
  ASSERT_EQ(BuildDecadeLines(20.0, 20000.0, xs), 3);
  EXPECT_EQ(xs[0], 366);
  EXPECT_EQ(xs[1], 700);
  EXPECT_EQ(xs[2], 1033);
  ASSERT_EQ(BuildDecadeLines(10.0, 100000.0, xs), 4);
  EXPECT_EQ(xs[3], 1033);
}

TEST(GraphScales, ResampledDisplayPicksTheMeasuredPoint) {
  // measured 20..20000 Hz, shown on 200..2000 Hz
  EXPECT_EQ(DisplayedCurveIndex(0, 200.0, 2000.0, 20.0, 20000.0), 333);
  EXPECT_EQ(DisplayedCurveIndex(999, 200.0, 2000.0, 20.0, 20000.0), 666);
  EXPECT_EQ(DisplayedCurveIndex(500, 200.0, 2000.0, 20.0, 20000.0), 500);
  // outside the measured range the index is clamped
  EXPECT_EQ(DisplayedCurveIndex(0, 10.0, 40000.0, 20.0, 20000.0), 0);
  EXPECT_EQ(DisplayedCurveIndex(999, 10.0, 40000.0, 20.0, 20000.0), 1000);
}

}  // namespace

}  // namespace quorvel

// The curve store: filling, completion, calibration, smoothing and the chart preview's scale.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <vector>

#include "base/shared_state.h"
#include "graph/graphical.h"

namespace quorvel {

namespace {

class ResponseCurveTest : public ::testing::Test {
 protected:
  // The notices as the front end polls them: the counters the analysing thread raises.
  uint32_t Points() const { return graph.m_pointsAdded.load(); }
  uint32_t Completions() const { return graph.m_curvesCompleted.load(); }

  CSharedState shared;
  CGraphical graph{shared};
};

TEST_F(ResponseCurveTest, AFreshStoreShowsNoCurveAndFillsFromPointZero) {
  EXPECT_EQ(graph.UpdateHasCurve(), 0);
  graph.Smooth();  // empty entries smooth to empty levels: nothing to draw either
  EXPECT_LE(graph.m_smoothed[500], CGraphical::kNoSignalLevel);
  graph.AddPoint(-10.0);
  EXPECT_EQ(graph.m_count.load(), 1);
  EXPECT_EQ(graph.m_points[0].load(), -10.0);
  EXPECT_EQ(graph.m_points[1].load(), CGraphical::kEmptyLevel);
  EXPECT_EQ(graph.UpdateHasCurve(), 1);
  EXPECT_EQ(Points(), 1u);
  EXPECT_EQ(Completions(), 0u);
}

TEST_F(ResponseCurveTest, HasCurveOnlyAboveMinus90Db) {
  graph.ClearCurve();
  EXPECT_EQ(graph.UpdateHasCurve(), 0);
  graph.AddPoint(-90.0);
  EXPECT_EQ(graph.UpdateHasCurve(), 0);
  EXPECT_EQ(graph.m_hasCurve.load(), 0);
  graph.AddPoint(-89.9);
  EXPECT_EQ(graph.UpdateHasCurve(), 1);
  EXPECT_EQ(graph.m_hasCurve.load(), 1);
  graph.ClearCurve();
  EXPECT_EQ(graph.UpdateHasCurve(), 0);
}

TEST_F(ResponseCurveTest, ClearCurveEmptiesEverything) {
  for (int k = 0; k < 50; ++k) graph.AddPoint(-10.0 - k);
  graph.m_cursorIndex = 17;
  graph.UpdateHasCurve();
  graph.ClearCurve();
  EXPECT_EQ(graph.m_count.load(), 0);
  EXPECT_EQ(graph.m_hasCurve.load(), 0);
  EXPECT_EQ(graph.m_cursorIndex, 0);
  for (int k = 0; k < CGraphical::kCurveCapacity; ++k) ASSERT_EQ(graph.m_points[k].load(), -200.0);
}

TEST_F(ResponseCurveTest, PointsAreStoredInOrderWithARepaintEach) {
  for (int k = 0; k < 10; ++k) graph.AddPoint(-k * 1.5);
  EXPECT_EQ(graph.m_count.load(), 10);
  EXPECT_EQ(Points(), 10u);
  for (int k = 0; k < 10; ++k) EXPECT_DOUBLE_EQ(graph.m_points[k].load(), -k * 1.5);
  EXPECT_EQ(graph.m_points[10].load(), -200.0);
}

TEST_F(ResponseCurveTest, CompletionIsReportedOnceAfterThe1001stPoint) {
  for (int k = 0; k < 1000; ++k) EXPECT_FALSE(graph.AddPoint(-30.0));
  EXPECT_FALSE(graph.AddPoint(-12.5));  // the 1001st point lands at index 1000
  EXPECT_EQ(graph.m_count.load(), 1001);
  EXPECT_DOUBLE_EQ(graph.m_points[1000].load(), -12.5);
  EXPECT_EQ(shared.m_bCurveEndNotified.load(), 0);

  EXPECT_TRUE(graph.AddPoint(-5.0));  // the 1002nd stores nothing and finds the end
  EXPECT_EQ(graph.m_count.load(), 1001);
  EXPECT_EQ(graph.m_points[1001].load(), -200.0);
  EXPECT_EQ(shared.m_bCurveEndNotified.load(), 1);
  EXPECT_EQ(Points(), 1001u);
  EXPECT_EQ(Completions(), 0u);  // raised by CurveEnded, once the engine has the length
  graph.CurveEnded();
  EXPECT_EQ(Completions(), 1u);

  EXPECT_FALSE(graph.AddPoint(-5.0));  // the 1003rd does nothing at all
  EXPECT_EQ(Points(), 1001u);
  EXPECT_EQ(graph.m_points[1001].load(), -200.0);

  // a new measurement clears the flag: the next full curve reports again
  shared.m_bCurveEndNotified.store(0);
  graph.ClearCurve();
  int ends = 0;
  for (int k = 0; k < 1003; ++k) ends += graph.AddPoint(-30.0) ? 1 : 0;
  EXPECT_EQ(ends, 1);
}

// The correction taken at the start is subtracted from every point of the curve, whatever
// the calibration flags do meanwhile: a calibration switched off mid-curve never leaves it half
// corrected.
TEST_F(ResponseCurveTest, TheCorrectionTakenAtTheStartHoldsForTheWholeCurve) {
  std::vector<double> correction(CGraphical::kCurveCapacity, 0.0);
  correction[0] = 3.0;
  correction[1] = -1.25;
  shared.m_bCalibrationApplied.store(1);
  shared.m_nSelectedChart.store(0);
  graph.SetLiveCorrection(correction.data());
  graph.AddPoint(-20.0);
  shared.m_bCalibrationApplied.store(0);
  shared.m_nSelectedChart.store(-1);
  graph.AddPoint(-20.0);
  EXPECT_DOUBLE_EQ(graph.m_points[0].load(), -23.0);
  EXPECT_DOUBLE_EQ(graph.m_points[1].load(), -18.75);

  graph.ClearCurve();
  graph.SetLiveCorrection(nullptr);
  shared.m_bCalibrationApplied.store(1);
  shared.m_nSelectedChart.store(0);
  graph.AddPoint(-20.0);
  EXPECT_DOUBLE_EQ(graph.m_points[0].load(), -20.0);
}

TEST_F(ResponseCurveTest, KernelIsNormalisedAndSymmetric) {
  graph.BuildSmoothingKernel();
  double sum = 0.0;
  for (double w : graph.m_kernel) sum += w;
  EXPECT_NEAR(sum, 1.0, 1e-12);
  for (int j = 0; j < CGraphical::kKernelSize; ++j) {
    EXPECT_DOUBLE_EQ(graph.m_kernel[j], graph.m_kernel[CGraphical::kKernelSize - 1 - j]);
  }
  // the centre tap is the window's 0.137987256 over its sum 1.1709154699
  EXPECT_NEAR(graph.m_kernel[7], 0.137987256 / 1.1709154699, 1e-9);
}

TEST_F(ResponseCurveTest, SmoothingAConstantCurveKeepsItConstant) {
  for (int k = 0; k <= 1000; ++k) graph.AddPoint(-37.25);
  graph.Smooth();
  // inside the window and, with the mirrored ends, at both ends as well
  for (int k = 0; k <= 1000; ++k) ASSERT_NEAR(graph.m_smoothed[k], -37.25, 1e-9) << k;
  // running it again gives the same result
  const double before = graph.m_smoothed[500];
  graph.Smooth();
  EXPECT_EQ(graph.m_smoothed[500], before);
}

TEST_F(ResponseCurveTest, SmoothingUsesTheFixedStartAndTheMirroredEnd) {
  // a step curve: points alternate between two levels with a ramp, so every index matters
  for (int k = 0; k <= 1000; ++k) graph.AddPoint(-60.0 + 0.05 * k + ((k % 3) == 0 ? 2.0 : 0.0));
  graph.Smooth();
  auto point = [&](int i) { return graph.m_points[i].load(); };
  auto expected = [&](int k) {
    double sum = 0.0;
    for (int j = 0; j < 15; ++j) {
      int i = k + j - 7;
      if (i < 0) i = 6 - i;        // x(-1) = point 7 ... x(-7) = point 13
      if (i > 1000) i = 2000 - i;  // x(1001) = point 999 ... x(1007) = point 993
      sum += graph.m_kernel[j] * point(i);
    }
    return sum;
  };
  for (int k : {0, 1, 3, 6, 7, 500, 993, 994, 997, 1000}) {
    EXPECT_NEAR(graph.m_smoothed[k], expected(k), 1e-9) << k;
  }
  // a smoothed ramp stays on the ramp in the middle (the kernel is symmetric)
  EXPECT_NEAR(graph.m_smoothed[501] - graph.m_smoothed[498], 3 * 0.05, 0.2);
}

TEST(ChartLevelToRow, MapsMinus30To20DbOnto249Rows) {
  EXPECT_EQ(CGraphical::ChartLevelToRow(-30.0), 0);
  EXPECT_EQ(CGraphical::ChartLevelToRow(20.0), 249);
  EXPECT_EQ(CGraphical::ChartLevelToRow(100.0), 249);
  EXPECT_EQ(CGraphical::ChartLevelToRow(-45.0), 0);
  EXPECT_EQ(CGraphical::ChartLevelToRow(0.0), 149);   // 149.4
  EXPECT_EQ(CGraphical::ChartLevelToRow(-5.0), 125);  // 124.5 rounds away from zero
  EXPECT_EQ(CGraphical::ChartLevelToRow(std::nan("")), 0);
}

// The list the graph paints: its own live curve first, whatever curves are put behind it.
TEST_F(ResponseCurveTest, TheLiveCurveStaysFirstOfTheListAndAloneLive) {
  ASSERT_EQ(graph.Curves().size(), 1u);
  EXPECT_TRUE(graph.Curves()[0].live);
  const CGraphical::Curve behind{100.0, 5000.0, std::vector<double>(1001, -30.0), 0x3366AA, true};
  graph.SetCurvesBehind({behind, behind});
  ASSERT_EQ(graph.Curves().size(), 3u);
  EXPECT_TRUE(graph.Curves()[0].live);
  EXPECT_FALSE(graph.Curves()[1].live || graph.Curves()[2].live);
  EXPECT_EQ(graph.Curves()[2].levels, behind.levels);
  graph.SetCurvesBehind({});
  EXPECT_EQ(graph.Curves().size(), 1u);
}

}  // namespace

}  // namespace quorvel

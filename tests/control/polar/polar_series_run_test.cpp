#include "control/polar/polar_series_run.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <map>
#include <numbers>
#include <string>
#include <thread>
#include <vector>

#include "base/point_frequency.h"
#include "control/polar/polar_angles.h"
#include "control/polar/polar_series_analysis.h"
#include "tests/control/control_test_support.h"

namespace quorvel {

namespace {

constexpr uint32_t kTimeoutMs = 60000;  // on the simulated clock
constexpr int kPoint = 667;             // of the 20 Hz .. 20 kHz curve: about 2 kHz

struct SeriesRig : SimulatedCore {
  SeriesRig() {
    char folder[] = "/tmp/quorvel-polar-XXXXXX";
    EXPECT_NE(mkdtemp(folder), nullptr);
    plan.folder = folder;
    plan.name = "woofer";
    plan.anglesDeg = {0, 30, 60};
    request.timeoutMs = kTimeoutMs;
  }
  ~SeriesRig() { std::filesystem::remove_all(plan.folder); }
  SeriesRig(const SeriesRig&) = delete;
  SeriesRig& operator=(const SeriesRig&) = delete;

  // Measures angles until the run asks for a turn to `stopAt` (or ends), keeping each finished
  // curve's level at kPoint.
  PolarRunState RunUntil(CPolarSeriesRun& run, int stopAt) {
    while (run.State() == PolarRunState::kTurn && run.CurrentAngle() != stopAt) {
      const int angle = run.CurrentAngle();
      run.Measure();
      while (run.Tick() == PolarRunState::kMeasuring) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
      }
      if (Graph().m_count.load() > kPoint) {
        levelAtPoint[angle] = Graph().m_points[kPoint].load();
      }
      latency[angle] = sim->LoopbackLatencyFrames();
    }
    return run.State();
  }

  PolarSeriesPlan plan;
  MeasurementRequest request;
  std::map<int, double> levelAtPoint;
  std::map<int, uint32_t> latency;  // the simulated loopback's device latency [frames]
};

TEST(PolarSeriesRun, SeriesOnTheSimulationSavesEachAngleAndResumesWhereItStopped) {
  SeriesRig rig;
  const std::string at0 = PolarCapturePath(rig.plan.folder, "woofer", PolarPlane::kHorizontal, 0);
  const std::string at30 = PolarCapturePath(rig.plan.folder, "woofer", PolarPlane::kHorizontal, 30);
  const std::string at60 = PolarCapturePath(rig.plan.folder, "woofer", PolarPlane::kHorizontal, 60);
  {
    CPolarSeriesRun run(*rig.core);
    ASSERT_TRUE(run.Begin(rig.plan, rig.request).Ok());
    EXPECT_EQ(rig.RunUntil(run, 60), PolarRunState::kTurn);
    run.Stop();
    EXPECT_EQ(run.State(), PolarRunState::kStopped);
    EXPECT_EQ(run.SavedPaths(), (std::vector<std::string>{at0, at30}));
  }
  EXPECT_TRUE(IsWholeCapture(at0));
  EXPECT_TRUE(IsWholeCapture(at30));
  EXPECT_FALSE(std::filesystem::exists(at60));
  const auto written30 = std::filesystem::last_write_time(at30);

  // the resumed series measures only the angle still missing
  CPolarSeriesRun resumed(*rig.core);
  ASSERT_TRUE(resumed.Begin(rig.plan, rig.request).Ok());
  EXPECT_EQ(resumed.CurrentAngle(), 60);
  EXPECT_EQ(resumed.AnglesDone(), 2U);
  EXPECT_EQ(rig.RunUntil(resumed, 999), PolarRunState::kDone) << resumed.Failure();
  EXPECT_EQ(resumed.SavedPaths(), std::vector<std::string>{at60});
  EXPECT_EQ(resumed.AnglesDone(), 3U);
  EXPECT_TRUE(IsWholeCapture(at60));
  EXPECT_EQ(std::filesystem::last_write_time(at30), written30);

  // each angle was heard off axis, as a piston of 8 cm radius in a baffle radiates
  ASSERT_EQ(rig.levelAtPoint.size(), 3U);
  for (const int angle : {30, 60}) {
    const double x = 2.0 * std::numbers::pi * PointFrequency(kPoint, 20.0, 20000.0) / 343.0 * 0.08 *
                     std::sin(angle * std::numbers::pi / 180.0);
    const double modelDb = 20.0 * std::log10(2.0 * std::cyl_bessel_j(1.0, x) / x);
    EXPECT_NEAR(rig.levelAtPoint[angle] - rig.levelAtPoint[0], modelDb, 1.0) << angle;
  }

  // a truncated capture is not whole: a resume measures it again
  std::filesystem::resize_file(at30, 100000);
  CPolarSeriesRun again(*rig.core);
  ASSERT_TRUE(again.Begin(rig.plan, rig.request).Ok());
  EXPECT_EQ(again.CurrentAngle(), 30);
  EXPECT_EQ(again.AnglesTotal() - again.AnglesDone(), 1U);
}

TEST(PolarSeriesRun, AnAngleThatKeepsFailingStopsTheSeriesNamingIt) {
  SeriesRig rig;
  rig.plan.anglesDeg = {-15, 15};
  rig.request.inputIndex = 99;  // no such input: every start fails
  CPolarSeriesRun run(*rig.core);
  ASSERT_TRUE(run.Begin(rig.plan, rig.request).Ok());
  for (int attempt = 1; attempt < kPolarAttempts; ++attempt) {
    EXPECT_EQ(run.Measure(), PolarRunState::kTurn);
    EXPECT_TRUE(run.Retrying());
    EXPECT_EQ(run.CurrentAngle(), -15);  // measured again, never skipped
  }
  EXPECT_EQ(run.Measure(), PolarRunState::kFailed);
  EXPECT_NE(run.Failure().find("-15 degrees failed 3 times"), std::string::npos) << run.Failure();
  EXPECT_TRUE(run.SavedPaths().empty());

  rig.plan.folder += "/missing";
  const Result<void> begun = run.Begin(rig.plan, rig.request);
  EXPECT_FALSE(begun.Ok());
  EXPECT_NE(begun.Message().find("does not exist"), std::string::npos);
}

// With a loopback on the right input channel the captures keep it beside the microphone, and the
// series is timed from it: the device latency drawn anew at each start drops out, so the
// piston's zero-phase directivity leaves the phase of every angle that of 0 degrees.
TEST(PolarSeriesRun, ASeriesWithItsLoopbackIsTimedFromItDespiteTheDevicesLatency) {
  SeriesRig rig;
  rig.plan.anglesDeg = {0, 30};
  const std::string right = "right";
  const Result<void> read = ReadInputChannels(nullptr, &right, &rig.request);
  ASSERT_TRUE(read) << read.Message();
  CPolarSeriesRun run(*rig.core);
  ASSERT_TRUE(run.Begin(rig.plan, rig.request).Ok());
  ASSERT_EQ(rig.RunUntil(run, 999), PolarRunState::kDone) << run.Failure();
  ASSERT_NE(rig.latency[0], rig.latency[30]);  // 5 to 40 ms, drawn at each start
  const Result<std::vector<SeriesCapture>> found = SeriesCapturesInFolder(rig.plan.folder, 10);
  ASSERT_TRUE(found.Ok()) << found.Message();
  const std::vector<SeriesCapture>& captures = *found;
  ASSERT_EQ(captures.size(), 2u);
  EXPECT_TRUE(IsWholeCapture(captures[0].path));
  const Result<AnalysedPolarSeries> analysed = AnalysePolarCaptures(*rig.core, captures, 4.0, 0);
  ASSERT_TRUE(analysed.Ok()) << analysed.Message();
  const PolarSeries& series = analysed->series;
  ASSERT_EQ(series.responses.size(), 2u);
  for (size_t i = 0; i < 2; ++i) {
    EXPECT_TRUE(series.responses[i].loopback);
    EXPECT_NEAR(series.responses[i].peakAfterReferenceMs, 0.0, 0.05);  // the latency: 5 to 40 ms
    EXPECT_NE(FormatPolarFrd(series, i).find("on the loopback timing"), std::string::npos);
  }
  for (size_t k = 0; k < series.frequenciesHz.size(); ++k) {
    if (series.frequenciesHz[k] < 300.0 || series.frequenciesHz[k] > 5000.0) continue;
    const double turn = series.responses[1].phasesDeg[k] - series.responses[0].phasesDeg[k];
    EXPECT_NEAR(std::remainder(turn, 360.0), 0.0, 3.0) << series.frequenciesHz[k];
  }
}

}  // namespace

}  // namespace quorvel

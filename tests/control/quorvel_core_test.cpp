// CQuorvelCore: the services it runs on, the device lists it makes once, the engine wired to
// the curve store, and its end while a measurement still runs.
#include "control/quorvel_core.h"

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <fstream>
#include <memory>

#include "base/memory_preferences.h"
#include "base/preferences.h"
#include "calibration/micro_list_proc.h"
#include "files/chart_file.h"
#include "tests/control/control_test_support.h"
#include "tests/engine/device_test_support.h"
#include "tests/files/wave_builder.h"

namespace quorvel {

namespace {

TEST(QuorvelCore, WithoutServicesOnlyTheDefaultOutputIsListed) {
  CMemoryPreferences preferences;
  CScriptedMessages messages;
  CQuorvelCore core(AudioChoice::kNone, preferences, messages);
  EXPECT_EQ(core.Services(), nullptr);
  EXPECT_EQ(core.ServicesDescription(), "no audio devices");
  EXPECT_EQ(core.InputListResult(), kE_UNEXPECTED);
  EXPECT_EQ(core.Audio().InputCount(), 0);
  ASSERT_EQ(core.Audio().OutputCount(), 1);
  EXPECT_STREQ(core.Audio().OutputName(0), "Default Audio Output");
  EXPECT_TRUE(messages.Messages().empty());
}

TEST(QuorvelCore, TheSimulatedLoudspeakerIsListedAtTheStart) {
  SimulatedAudioOptions options;
  options.inputCount = 2;
  SimulatedCore rig(options);
  EXPECT_EQ(rig.core->Services(), rig.sim);
  EXPECT_EQ(rig.core->InputListResult(), 0);
  ASSERT_EQ(rig.Audio().InputCount(), 2);
  EXPECT_STREQ(rig.Audio().InputName(0), "Simulated measurement microphone");
  EXPECT_STREQ(rig.Audio().InputName(1), "Simulated measurement microphone 2");
  ASSERT_EQ(rig.Audio().OutputCount(), 2);
  // the short product name widened by the device's full description
  EXPECT_STREQ(rig.Audio().OutputName(0), "Simulated loudspeaker (built-in loudspeaker model)");
  EXPECT_STREQ(rig.Audio().OutputName(1), "Default Audio Output");
}

TEST(QuorvelCore, TheEngineFeedsTheCurveStoreAndCompletionSetsTheRecordingLength) {
  // The sweep itself, analysed as a replay would: a flat curve, complete, and the recording's
  // length handed to the engine's captured count.
  CMemoryPreferences preferences;
  CScriptedMessages messages;
  CQuorvelCore core(AudioChoice::kNone, preferences, messages);
  CAudio& audio = core.Audio();
  const int length = audio.GenerateSweep(20.0, 20000.0);
  ASSERT_GT(length, 0);
  core.Graph().ClearCurve();
  audio.ReplayAtFullSpeed(audio.Sweep().data(), length, 20.0);
  EXPECT_EQ(core.Graph().m_count.load(), 1001);
  EXPECT_EQ(core.Graph().m_curvesCompleted.load(), 1u);
  EXPECT_EQ(core.Shared().m_bCurveEndNotified.load(), 1);
  EXPECT_GT(audio.Counters().capturedCount, 48000 * 20);
  EXPECT_LE(audio.Counters().capturedCount, length);
}

TEST(QuorvelCore, EndingWhileAMeasurementRunsStopsItsThreadsBeforeTheServicesGo) {
  // Destroyed in the reverse order of construction: the engine ends its capture and play
  // threads while the simulated devices still exist (the sanitizer builds see any use after
  // they are gone).
  SimulatedCore rig;
  rig.Graph().ClearCurve();
  MeasurementRequest request;
  request.timeoutMs = 60000;
  ASSERT_TRUE(rig.Sequence().Start(request));
  ASSERT_TRUE(WaitFor([&] { return rig.Audio().Counters().sweepPos > 4800; }, 10000));
  EXPECT_EQ(rig.Sequence().Tick(), SequenceStatus::kRunning);
  rig.core.reset();
  EXPECT_TRUE(rig.messages.Messages().empty());
}

// Hands every level the engine measures to the curve store and keeps a copy: the curve as it
// would be without calibration.
class RawLevels : public ICurveListener {
 public:
  explicit RawLevels(CGraphical& graph) : m_graph(graph) {}
  // Capture thread; never blocks or allocates.
  bool AddPoint(double levelDb) override {
    const int n = m_count.load(std::memory_order_relaxed);
    if (n < CGraphical::kCurveCapacity) {
      m_levels[static_cast<size_t>(n)] = levelDb;
      m_count.store(n + 1, std::memory_order_release);
    }
    return m_graph.AddPoint(levelDb);
  }
  void CurveEnded() override { m_graph.CurveEnded(); }
  int Count() const { return m_count.load(std::memory_order_acquire); }
  double Level(int k) const { return m_levels[static_cast<size_t>(k)]; }

 private:
  CGraphical& m_graph;
  std::array<double, CGraphical::kCurveCapacity> m_levels{};
  std::atomic<int> m_count{0};
};

TEST(QuorvelCore, AMeasurementWithTheChartAppliedIsTheRawCurveMinusTheChart) {
  SimulatedCore rig;
  wavetest::ScratchFolder charts;
  std::ofstream(charts.File("Mic 3.txt")) << "20 -4\n200 1.5\n2000 0\n20000 6\n";
  // the remembered microphone, applied as "OK, Apply" leaves it
  rig.preferences.WriteString(kPrefCalibFiles, charts.Path().string());
  rig.preferences.WriteString(kPrefMicroSelected, "mic 3");
  CMicroListProc& microList = rig.core->MicroList();
  ASSERT_EQ(microList.ScanCharts(), 1);
  ASSERT_EQ(microList.SelectedChart(), 0);
  microList.SetCalibrationApplied(true);
  // the capture start: the chart for the coming range, applied without a question
  microList.PrepareCalibration(40.0, 16000.0);
  EXPECT_TRUE(rig.messages.Messages().empty()) << rig.messages.All();

  RawLevels raw(rig.Graph());
  rig.Audio().SetCurveListener(&raw);
  rig.Graph().ClearCurve();
  MeasurementRequest request;
  request.fmin = 40.0;
  request.fmax = 16000.0;
  request.timeoutMs = 60000;
  const SequenceStatus outcome = RunMeasurement(rig.Sequence(), request);
  rig.Audio().SetCurveListener(&rig.Graph());
  ASSERT_EQ(outcome, SequenceStatus::kComplete) << rig.messages.All();
  ASSERT_EQ(rig.Graph().m_count.load(), 1001);
  ASSERT_GE(raw.Count(), 1001);
  std::array<double, kChartCurveSize> chart;
  ASSERT_TRUE(LoadChart(charts.File("Mic 3.txt"), 40.0, 16000.0, chart));
  for (int k = 0; k <= CGraphical::kLastPoint; ++k) {
    ASSERT_DOUBLE_EQ(rig.Graph().m_points[k].load(), raw.Level(k) - chart[size_t(k)]) << k;
  }
  EXPECT_STREQ(rig.Shared().m_szGraphCaption, "Quorvel Capture with microphone \"Mic 3\"");
}

}  // namespace

}  // namespace quorvel

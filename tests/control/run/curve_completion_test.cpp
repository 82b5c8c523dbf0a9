// A replay whose samples run out after the curve's last point, before the block that would
// report the curve complete: the curve is taken as complete and its recording as the capture,
// which the run's measurement is made of.
#include "control/run/curve_completion.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "base/memory_preferences.h"
#include "base/shared_state.h"
#include "control/captures/capture_files.h"
#include "control/quorvel_core.h"
#include "tests/base/scripted_messages.h"
#include "tests/control/control_test_support.h"

namespace quorvel {

namespace {

// The generated playback signal for 20 Hz .. 20 kHz: silence, the sync burst, silence and the
// sweep, which the analysis reads like a recording made through a perfect loudspeaker.
std::vector<int16_t> PlaybackSignal() {
  auto audio = std::make_unique<CAudio>();
  const int length = audio->GenerateSweep(20.0, 20000.0);
  return std::vector<int16_t>(audio->Sweep().data(), audio->Sweep().data() + length);
}

// A core without devices, as quorvel-cli analyze makes it.
struct Rig {
  CMemoryPreferences preferences;
  CScriptedMessages messages;
  CQuorvelCore core{std::unique_ptr<IAudioServices>(), preferences, messages};
  void Replay(const std::vector<int16_t>& samples, int count) {
    core.Graph().ClearCurve();
    core.Shared().m_bCurveEndNotified.store(0);
    core.Shared().m_curveFmin = 20.0;  // the range a replay takes from its file
    core.Shared().m_curveFmax = 20000.0;
    core.Audio().ReplayAtFullSpeed(samples.data(), count, 20.0);
  }
};

// The number of samples after which the analysis has stored the curve's 1001st point.
int SamplesToLastPoint(const std::vector<int16_t>& samples) {
  Rig rig;
  CAudio& audio = rig.core.Audio();
  audio.ResetAnalysis();
  audio.SetFilePlaying(true);  // the analysis runs while a file plays
  for (size_t i = 0; i < samples.size(); ++i) {
    audio.PushFrame(samples[i] * 65535, samples[i] * 65535);
    if (rig.core.Graph().m_count.load() == CGraphical::kLastPoint + 1) {
      return static_cast<int>(i + 1);
    }
  }
  return -1;
}

TEST(CurveCompletion, SamplesEndingAfterTheLastPointMakeACompleteCurve) {
  const std::vector<int16_t> signal = PlaybackSignal();
  const int lastPoint = SamplesToLastPoint(signal);
  ASSERT_GT(lastPoint, 1000000);

  // The samples end half a block after the 1001st point: the block that would report the curve
  // complete never comes.
  Rig rig;
  rig.Replay(signal, lastPoint + 480);
  ASSERT_EQ(rig.core.Graph().m_count.load(), 1001);
  ASSERT_EQ(rig.core.Graph().m_curvesCompleted.load(), 0u);
  EXPECT_EQ(rig.core.Shared().m_bCurveEndNotified.load(), 0);  // nothing to save before

  EXPECT_TRUE(TakeWholeCurveAsComplete(rig.core.Audio(), rig.core.Graph()));
  EXPECT_EQ(rig.core.Graph().m_curvesCompleted.load(), 1u);
  EXPECT_EQ(rig.core.Shared().m_bCurveEndNotified.load(), 1);
  EXPECT_EQ(rig.core.Audio().Counters().capturedCount, rig.core.Audio().Counters().recordCount);
  EXPECT_GT(rig.core.Audio().Counters().capturedCount, 20 * 48000);
  // taken once: a second call changes nothing
  EXPECT_TRUE(TakeWholeCurveAsComplete(rig.core.Audio(), rig.core.Graph()));
  EXPECT_EQ(rig.core.Graph().m_curvesCompleted.load(), 1u);
}

TEST(CurveCompletion, ACurveShortOfItsLastPointStaysIncomplete) {
  const std::vector<int16_t> signal = PlaybackSignal();
  const int lastPoint = SamplesToLastPoint(signal);
  ASSERT_GT(lastPoint, 1000000);
  Rig rig;
  rig.Replay(signal, lastPoint - 960);  // one block short: 1000 points
  ASSERT_EQ(rig.core.Graph().m_count.load(), 1000);
  EXPECT_FALSE(TakeWholeCurveAsComplete(rig.core.Audio(), rig.core.Graph()));
  EXPECT_EQ(rig.core.Shared().m_bCurveEndNotified.load(), 0);
  EXPECT_EQ(rig.core.Audio().Counters().capturedCount, 0);
}

TEST(CurveCompletion, ACurveTheAnalysisCompletedKeepsItsRecordingLength) {
  const std::vector<int16_t> signal = PlaybackSignal();
  Rig rig;
  rig.Replay(signal, static_cast<int>(signal.size()));
  ASSERT_EQ(rig.core.Graph().m_curvesCompleted.load(), 1u);
  const int32_t captured = rig.core.Audio().Counters().capturedCount;
  EXPECT_TRUE(TakeWholeCurveAsComplete(rig.core.Audio(), rig.core.Graph()));
  EXPECT_EQ(rig.core.Audio().Counters().capturedCount, captured);
  EXPECT_EQ(rig.core.Graph().m_curvesCompleted.load(), 1u);
}

}  // namespace

// Through the run, as the window replays a loaded file: the replay ends in a finished
// measurement of every sample, which Save Audio File accepts.
TEST(CurveCompletion, AReplayEndingAfterTheLastPointEndsInAMeasurementToSave) {
  const std::vector<int16_t> signal = PlaybackSignal();
  const int count = SamplesToLastPoint(signal) + 480;
  SimulatedCore rig;
  auto* samples = static_cast<int16_t*>(std::malloc(static_cast<size_t>(count) * 2));
  std::memcpy(samples, signal.data(), static_cast<size_t>(count) * 2);
  rig.Audio().LoadSamples(LoadedSamples(samples), count);
  rig.Shared().m_curveFmin = 20.0;
  rig.Shared().m_curveFmax = 20000.0;
  ASSERT_EQ(RunReplay(rig.Sequence(), -1, 60000), SequenceStatus::kComplete)
      << testing::PrintToString(rig.messages.Messages());
  EXPECT_TRUE(CheckCaptureToSave(rig.core->FileContext()));
  ASSERT_NE(rig.Sequence().FinishedRunMeasurement(), nullptr);
  EXPECT_EQ(rig.Sequence().FinishedRunMeasurement()->GetRecording().Frames(),
            static_cast<size_t>(count));
}

}  // namespace quorvel

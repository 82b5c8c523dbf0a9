// CQuorvelCore: the services it runs on, the device lists it makes once, the engine wired to
// the curve store, and its end while a measurement still runs.
#include "control/quorvel_core.h"

#include <gtest/gtest.h>

#include <memory>

#include "base/memory_preferences.h"
#include "engine/full_speed_replay.h"
#include "tests/control/control_test_support.h"
#include "tests/engine/device_test_support.h"

namespace quorvel {

namespace {

TEST(QuorvelCore, WithoutServicesOnlyTheDefaultOutputIsListed) {
  CMemoryPreferences preferences;
  CRecordingMessages messages;
  CQuorvelCore core(AudioChoice::kNone, preferences, messages);
  EXPECT_EQ(core.Services(), nullptr);
  EXPECT_EQ(core.ServicesDescription(), "no audio devices");
  EXPECT_EQ(core.InputListResult(), kE_UNEXPECTED);
  EXPECT_EQ(core.Audio().m_inputCount, 0);
  ASSERT_EQ(core.Audio().m_outputCount, 1);
  EXPECT_STREQ(core.Audio().m_outputNames[0], "Default Audio Output");
  EXPECT_TRUE(messages.Messages().empty());
}

TEST(QuorvelCore, TheSimulatedLoudspeakerIsListedAtTheStart) {
  SimulatedAudioOptions options;
  options.inputCount = 2;
  SimulatedCore rig(options);
  EXPECT_EQ(rig.core->Services(), rig.sim);
  EXPECT_EQ(rig.core->InputListResult(), 0);
  ASSERT_EQ(rig.Audio().m_inputCount, 2);
  EXPECT_STREQ(rig.Audio().m_inputNames[0], "Simulated measurement microphone");
  EXPECT_STREQ(rig.Audio().m_inputNames[1], "Simulated measurement microphone 2");
  ASSERT_EQ(rig.Audio().m_outputCount, 2);
  // the short product name widened by the device's full description
  EXPECT_STREQ(rig.Audio().m_outputNames[0], "Simulated loudspeaker (built-in loudspeaker model)");
  EXPECT_STREQ(rig.Audio().m_outputNames[1], "Default Audio Output");
}

TEST(QuorvelCore, TheEngineFeedsTheCurveStoreAndCompletionSetsTheRecordingLength) {
  // The sweep itself, analysed as a replay would: a flat curve, complete, and the recording's
  // length handed to the engine's captured count.
  CMemoryPreferences preferences;
  CRecordingMessages messages;
  CQuorvelCore core(AudioChoice::kNone, preferences, messages);
  CAudio& audio = core.Audio();
  const int length = audio.GenerateSweep(20.0, 20000.0);
  ASSERT_GT(length, 0);
  core.Graph().ClearCurve();
  ReplayAtFullSpeed(audio, audio.m_sweep, length);
  EXPECT_EQ(core.Graph().m_count.load(), 1001);
  EXPECT_EQ(core.Graph().m_curvesCompleted.load(), 1u);
  EXPECT_EQ(core.Shared().m_bCurveEndNotified.load(), 1);
  EXPECT_GT(audio.m_capturedCount.load(), 48000 * 20);
  EXPECT_LE(audio.m_capturedCount.load(), length);
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
  ASSERT_TRUE(WaitFor([&] { return rig.Audio().m_sweepPos.load() > 4800; }, 10000));
  EXPECT_EQ(rig.Sequence().Tick(), SequenceStatus::kRunning);
  rig.core.reset();
  EXPECT_TRUE(rig.messages.Messages().empty());
}

}  // namespace

}  // namespace quorvel

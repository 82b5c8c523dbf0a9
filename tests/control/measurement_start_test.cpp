// The measurement's start and its watch over the sweep, on the simulated loudspeaker with the
// fast clock: the output is held until the input has delivered its own floor, both waits are
// bounded and name the device, a dropout during the sweep ends the measurement with a message,
// and a clipped input is reported after a complete curve.
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include "control/run/measurement_sequence.h"
#include "tests/control/control_test_support.h"
#include "tests/engine/device_test_support.h"

namespace quorvel {

namespace {

constexpr uint32_t kTimeoutMs = 120000;  // on the simulated clock

// The message pattern with the device's name in the place of its "%s".
std::string Formatted(const char* pattern, const char* text) {
  std::string message = pattern;
  return message.replace(message.find("%s"), 2, text);
}

struct StartRig : SimulatedCore {
  using SimulatedCore::SimulatedCore;
  // A measurement to its end; `poll` between the ticks. Not repeated after a dropout: these
  // tests make their own.
  SequenceStatus Measure(const std::function<void()>& poll = {}, double gainDb = 0.0) {
    Graph().ClearCurve();
    MeasurementRequest request;
    request.timeoutMs = kTimeoutMs;
    request.gainDb = gainDb;
    return RunMeasurement(Sequence(), request, poll);
  }
  // The same, repeated after a dropout of a machine too busy for the fast clock.
  SequenceStatus MeasureToTheEnd(double gainDb = 0.0) {
    MeasurementRequest request;
    request.timeoutMs = kTimeoutMs;
    request.gainDb = gainDb;
    return MeasureAllowingDropouts(Sequence(), messages, request, [this] { Graph().ClearCurve(); });
  }
};

// What the run waited for, in the order seen, each once.
struct WaitLog {
  std::vector<MeasurementWait> seen;
  void Note(MeasurementWait wait) {
    if (seen.empty() || seen.back() != wait) seen.push_back(wait);
  }
};

TEST(MeasurementStart, TheOutputIsHeldUntilTheInputHasDeliveredItsFloor) {
  StartRig rig;
  // The microphone delivers nothing for three seconds after its stream starts.
  rig.sim->SetInputStartDelay(3000);
  WaitLog log;
  bool playedWhileWaiting = false;
  int64_t playedAtStart = -1;
  auto poll = [&]() {
    const MeasurementWait wait = rig.Sequence().Waiting();
    log.Note(wait);
    if (playedAtStart < 0) playedAtStart = rig.sim->BuffersPlayed();
    if (wait == MeasurementWait::kInput && rig.sim->BuffersPlayed() != playedAtStart) {
      playedWhileWaiting = true;
    }
  };
  ASSERT_EQ(rig.Measure(poll), SequenceStatus::kComplete)
      << testing::PrintToString(rig.messages.Messages());
  EXPECT_TRUE(rig.messages.Messages().empty());
  EXPECT_EQ(rig.Graph().m_count.load(), 1001);
  EXPECT_FALSE(playedWhileWaiting);
  const std::vector<MeasurementWait> expected = {MeasurementWait::kInput, MeasurementWait::kOutput,
                                                 MeasurementWait::kNone};
  EXPECT_EQ(log.seen, expected);
  EXPECT_TRUE(DevicesAtRest(rig.Audio(), *rig.sim));
}

TEST(MeasurementStart, AnOutputThatWakesUpLateStillGivesTheWholeCurve) {
  StartRig rig;
  // As a suspended device: two seconds pass after it is let go before it plays.
  rig.sim->SetOutputStartDelay(2000);
  WaitLog log;
  std::string captionWhileWaiting;
  auto poll = [&]() {
    log.Note(rig.Sequence().Waiting());
    if (rig.Sequence().Waiting() == MeasurementWait::kOutput) {
      captionWhileWaiting = rig.Sequence().WaitingText();
    }
  };
  ASSERT_EQ(rig.Measure(poll), SequenceStatus::kComplete)
      << testing::PrintToString(rig.messages.Messages());
  EXPECT_EQ(rig.Graph().m_count.load(), 1001);
  EXPECT_EQ(captionWhileWaiting,
            "waiting for the Audio Output \"Default Audio Output\" to start...");
  // The sweep was heard from its start: the whole burst and every point are there, and the
  // curve follows the loudspeaker's response as on a device that starts at once.
  const std::vector<double> late = rig.Curve();
  ASSERT_EQ(rig.MeasureToTheEnd(), SequenceStatus::kComplete);
  const std::vector<double> prompt = rig.Curve();
  for (int k = 100; k <= 1000; ++k) EXPECT_NEAR(late[k], prompt[k], 0.5) << "point " << k;
}

// The waits are bounded: a device that never delivers or never plays ends the measurement with
// a message naming it, after about ten seconds of the devices' clock.
struct NeverStarts {
  bool input;  // the input never delivers (else the output never plays)
  const char* message;
  const char* device;
};

class MeasurementStartTimeout : public testing::TestWithParam<NeverStarts> {};

TEST_P(MeasurementStartTimeout, EndsWithAMessageNamingTheDevice) {
  StartRig rig;
  if (GetParam().input) {
    rig.sim->SetInputStartDelay(60000);
  } else {
    rig.sim->SetOutputStartDelay(60000);
  }
  const uint32_t started = rig.sim->MilliSeconds();
  EXPECT_EQ(rig.Measure(), SequenceStatus::kFailed);
  const uint32_t waited = rig.sim->MilliSeconds() - started;
  EXPECT_GE(waited, kStartWaitMs);
  EXPECT_LT(waited, 3 * kStartWaitMs);
  EXPECT_EQ(rig.messages.Messages(),
            std::vector<std::string>{Formatted(GetParam().message, GetParam().device)});
  EXPECT_EQ(rig.Graph().m_count.load(), 0);
  EXPECT_TRUE(DevicesAtRest(rig.Audio(), *rig.sim));
}

INSTANTIATE_TEST_SUITE_P(
    Devices, MeasurementStartTimeout,
    testing::Values(NeverStarts{true, kMsgInputSilent, "Simulated measurement microphone"},
                    NeverStarts{false, kMsgOutputNotStarted, "Default Audio Output"}));

// A dropout during the sweep, made once 100 points are in.
struct Dropout {
  const char* name;
  std::function<void(CSimulatedAudioServices&)> make;
  const char* words;  // what the message says happened
};

class MeasurementDropout : public testing::TestWithParam<Dropout> {};

TEST_P(MeasurementDropout, EndsTheMeasurementWithAMessage) {
  StartRig rig;
  bool made = false;
  auto poll = [&]() {
    if (!made && rig.Graph().m_count.load() >= 100) {
      GetParam().make(*rig.sim);
      made = true;
    }
  };
  EXPECT_EQ(rig.Measure(poll), SequenceStatus::kFailed);
  ASSERT_TRUE(made);
  const std::vector<std::string> shown = rig.messages.Messages();
  ASSERT_EQ(shown.size(), 1u) << testing::PrintToString(shown);
  // A dropout of the machine itself may come first; whichever comes, it is reported as one.
  EXPECT_EQ(shown[0].rfind("The measurement was interrupted by a dropout during the sweep: ", 0),
            0u)
      << shown[0];
  EXPECT_NE(shown[0].find(GetParam().words), std::string::npos) << shown[0];
  EXPECT_LT(rig.Graph().m_count.load(), 1001);
  EXPECT_TRUE(DevicesAtRest(rig.Audio(), *rig.sim));
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, MeasurementDropout,
    testing::Values(
        // 40 ms in which the output plays nothing: two blocks of silence in the recording.
        Dropout{"OutputUnderflow", [](CSimulatedAudioServices& sim) { sim.InsertOutputGap(1920); },
                "the Audio Output ran out of samples"},
        // Frames recorded but never given to the engine.
        Dropout{"InputFramesLost", [](CSimulatedAudioServices& sim) { sim.LoseInputFrames(960); },
                "the Audio Input lost 960 frames"},
        // Frames the server dropped without a word, as exact zeros.
        Dropout{"InputZeroRun", [](CSimulatedAudioServices& sim) { sim.ZeroInputFrames(256); },
                "the recording has a gap of silence"}),
    [](const testing::TestParamInfo<Dropout>& param) { return std::string(param.param.name); });

TEST(MeasurementStall, AStallDuringTheSweepEndsTheMeasurementAndSaysSo) {
  StartRig rig;
  bool stalled = false;
  auto poll = [&]() {
    if (!stalled && rig.Graph().m_count.load() >= 100) {
      rig.sim->SetOutputStalled(true);
      stalled = true;
    }
  };
  EXPECT_EQ(rig.Measure(poll), SequenceStatus::kFailed);
  EXPECT_EQ(rig.messages.Messages(),
            std::vector<std::string>{"The Audio Output stopped during the measurement\n"
                                     "The device stopped playing for more than a second."});
  EXPECT_LT(rig.Graph().m_count.load(), 1001);
  rig.sim->SetOutputStalled(false);
  EXPECT_TRUE(DevicesAtRest(rig.Audio(), *rig.sim));
}

TEST(MeasurementClipping, AClippedInputCompletesWithAWarningThatSaysWhereAndAClearOneWithout) {
  // The model gives the sweep back 10 dB down: 1.33 x +12 dB take it 4.5 dB over full scale, a
  // microphone 20 dB hotter clips in its own converter, 0 dB stays 7.5 dB under full scale.
  for (const auto& [microphone, gainDb, warning] :
       std::vector<std::tuple<double, double, const char*>>{
           {1.0, 12.0, kMsgInputClipped},
           {10.0, -12.0, kMsgInputClippedBeforeGain},
           {1.0, 0.0, nullptr}}) {
    StartRig rig(SimulatedAudioOptions{.microphoneGain = microphone});
    ASSERT_EQ(rig.MeasureToTheEnd(gainDb), SequenceStatus::kComplete)
        << testing::PrintToString(rig.messages.Messages());
    const int clipped = rig.Sequence().ClippedPoints();
    std::string expected = warning == nullptr ? "" : warning;
    if (warning != nullptr) expected.replace(expected.find("%d"), 2, std::to_string(clipped));
    EXPECT_EQ(rig.Sequence().ClipWarning(), expected);
    EXPECT_EQ(clipped > 500, warning != nullptr) << gainDb << ": " << clipped;
  }
}

}  // namespace

}  // namespace quorvel

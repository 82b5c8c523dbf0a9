// Whole measurements and replays on the simulated loudspeaker, with the fast clock: the curve
// against the loudspeaker model, the replay against the live curve, and every way a measurement
// can end leaving no thread, stream or buffer behind.
#include "control/measurement_sequence.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "audio/sim/loudspeaker_model.h"
#include "base/shared_state.h"
#include "graph/graphical.h"
#include "tests/audio/audio_test_support.h"
#include "tests/base/recording_messages.h"
#include "tests/engine/device_test_support.h"

namespace {

constexpr uint32_t kTimeoutMs = 60000;  // on the simulated clock

struct Rig {
  explicit Rig(SimulatedAudioOptions options = {}) {
    options.clockFactor = TestClockFactor();
    sim = std::make_unique<CSimulatedAudioServices>(options);
    audio = std::make_unique<CAudio>(sim.get());
    graph = std::make_unique<CGraphical>(shared);
    graph->SetRecordCounters(&audio->m_recordCount, &audio->m_capturedCount);
    sequence = std::make_unique<CMeasurementSequence>(*audio, *graph, shared, messages);
    audio->SetCurveListener(graph.get());
    int count = 0;
    if (audio->EnumerateInputDevices(&count) == 0) audio->m_inputCount = count;
    audio->m_outputCount = audio->EnumerateOutputDevices();
  }
  ~Rig() {
    sequence.reset();
    audio.reset();  // the engine goes before the services it uses
  }
  std::vector<double> Curve() const {
    std::vector<double> points;
    for (int k = 0; k < graph->m_count.load(); ++k) points.push_back(graph->m_points[k].load());
    return points;
  }
  MeasurementOutcome Measure(const std::function<void()>& poll = {}) {
    graph->ClearCurve();
    MeasurementRequest request;
    request.timeoutMs = kTimeoutMs;
    return sequence->RunMeasurement(request, poll);
  }

  CSharedState shared;
  CRecordingMessages messages;
  std::unique_ptr<CSimulatedAudioServices> sim;
  std::unique_ptr<CAudio> audio;
  std::unique_ptr<CGraphical> graph;
  std::unique_ptr<CMeasurementSequence> sequence;
};

double PointFrequency(int k) {
  return 20.0 * std::pow(1000.0, k / 1000.0);
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

// Points whose frequency lies in 100 Hz .. 15 kHz.
std::vector<int> MidBandPoints() {
  std::vector<int> points;
  for (int k = 0; k <= 1000; ++k) {
    const double f = PointFrequency(k);
    if (f >= 100.0 && f <= 15000.0) points.push_back(k);
  }
  return points;
}

TEST(MeasurementSequence, CompleteMeasurementFollowsTheLoudspeakerAndItsReplayRepeatsIt) {
  Rig rig;
  ASSERT_EQ(rig.audio->m_inputCount, 1);
  ASSERT_EQ(rig.audio->m_outputCount, 2);
  EXPECT_STREQ(rig.audio->m_outputNames[1], "Default Audio Output");

  ASSERT_EQ(rig.Measure(), MeasurementOutcome::kComplete)
      << testing::PrintToString(rig.messages.Messages());
  EXPECT_TRUE(rig.messages.Messages().empty());
  const std::vector<double> live = rig.Curve();
  ASSERT_EQ(live.size(), 1001u);
  EXPECT_TRUE(DevicesAtRest(*rig.audio, *rig.sim));
  EXPECT_EQ(rig.shared.m_bCapturing.load(), 0);
  EXPECT_EQ(rig.shared.m_bInputOpen.load(), 0);
  EXPECT_STREQ(rig.shared.m_szGraphCaption, "Quorvel Capture");
  EXPECT_EQ(rig.sim->CaptureOverruns(), 0);

  // The measured curve is the model's response plus one overall level (sweep level, capture
  // gain 1.33, the model's loss), within 1 dB from 100 Hz to 15 kHz.
  std::vector<double> offsets;
  for (int k : MidBandPoints()) {
    offsets.push_back(live[k] - CLoudspeakerModel::ResponseDb(PointFrequency(k)));
  }
  const double level = Median(offsets);
  for (int k : MidBandPoints()) {
    const double f = PointFrequency(k);
    EXPECT_NEAR(live[k] - level, CLoudspeakerModel::ResponseDb(f), 1.0)
        << "point " << k << " at " << f << " Hz";
  }
  // The sweep (full scale 16-bit) through the 1.33 capture gain: the overall level lies near
  // 20*log10(1.33) = 2.5 dB above the model's response.
  EXPECT_NEAR(level, 2.48, 0.5);

  // The recording starts at index 0 of the record track; replay it as a loaded file would be.
  const int captured = rig.audio->m_capturedCount.load();
  ASSERT_GT(captured, 48000 * 20);
  auto* samples =
      static_cast<int16_t*>(std::malloc(sizeof(int16_t) * static_cast<size_t>(captured)));
  ASSERT_NE(samples, nullptr);
  std::memcpy(samples, rig.audio->m_record, sizeof(int16_t) * static_cast<size_t>(captured));
  rig.audio->m_fileSamples = samples;
  rig.audio->m_fileSampleCount.store(captured);
  rig.audio->m_fileChannels = 1;
  rig.audio->m_fileRate = 48000;
  rig.graph->ClearCurve();
  ASSERT_EQ(rig.sequence->RunReplay(-1, kTimeoutMs, {}), MeasurementOutcome::kComplete)
      << testing::PrintToString(rig.messages.Messages());
  EXPECT_TRUE(rig.sequence->ReplayEnded());
  EXPECT_EQ(rig.audio->m_fileSamples, nullptr);  // freed once the play thread had gone
  EXPECT_EQ(rig.audio->m_filePlaying.load(), 0);
  EXPECT_TRUE(DevicesAtRest(*rig.audio, *rig.sim));

  const std::vector<double> replayed = rig.Curve();
  ASSERT_EQ(replayed.size(), 1001u);
  for (int k : MidBandPoints()) {
    EXPECT_NEAR(replayed[k], live[k], 0.1) << "point " << k;
  }
}

// Where in the cycle a stop request comes.
enum class StopPoint { kBeforeSync, kSettling, kMeasuring };

class MeasurementStop : public testing::TestWithParam<StopPoint> {};

TEST_P(MeasurementStop, LeavesNoThreadStreamOrBuffer) {
  Rig rig;
  bool requested = false;
  auto poll = [&]() {
    if (requested) return;
    const bool playing = rig.audio->m_sweepPlaying.load() != 0;
    const bool synced = rig.audio->m_synced.load() != 0;
    const int points = rig.graph->m_count.load();
    bool now = false;
    switch (GetParam()) {
      case StopPoint::kBeforeSync:
        now = playing && !synced;
        break;
      case StopPoint::kSettling:
        now = synced && points == 0;
        break;
      case StopPoint::kMeasuring:
        now = points >= 100;
        break;
    }
    if (now) {
      requested = true;
      rig.sequence->RequestStop();
    }
  };
  EXPECT_EQ(rig.Measure(poll), MeasurementOutcome::kStopped);
  EXPECT_TRUE(requested);
  EXPECT_LT(rig.graph->m_count.load(), 1001);
  EXPECT_TRUE(DevicesAtRest(*rig.audio, *rig.sim));
  EXPECT_EQ(rig.audio->m_sweepPlaying.load(), 0);
  // A stopped capture leaves no recording to save.
  EXPECT_EQ(rig.audio->m_capturedCount.load(), 0);
  EXPECT_TRUE(rig.messages.Messages().empty());
}

INSTANTIATE_TEST_SUITE_P(EveryPoint, MeasurementStop,
                         testing::Values(StopPoint::kBeforeSync, StopPoint::kSettling,
                                         StopPoint::kMeasuring));

TEST(MeasurementSequence, StopAfterCompletionChangesNothingAndANewMeasurementRuns) {
  Rig rig;
  ASSERT_EQ(rig.Measure(), MeasurementOutcome::kComplete);
  const int captured = rig.audio->m_capturedCount.load();
  rig.sequence->RequestStop();
  EXPECT_TRUE(DevicesAtRest(*rig.audio, *rig.sim));
  EXPECT_EQ(rig.audio->m_capturedCount.load(), captured);
  // The next measurement starts afresh (the old stop request does not end it).
  ASSERT_EQ(rig.Measure(), MeasurementOutcome::kComplete);
  EXPECT_EQ(rig.graph->m_count.load(), 1001);
  EXPECT_TRUE(DevicesAtRest(*rig.audio, *rig.sim));
}

TEST(MeasurementSequence, AReplayStoppedMidwayEndsAndFreesItsSamples) {
  Rig rig;
  ASSERT_EQ(rig.Measure(), MeasurementOutcome::kComplete);
  const int captured = rig.audio->m_capturedCount.load();
  auto* samples =
      static_cast<int16_t*>(std::malloc(sizeof(int16_t) * static_cast<size_t>(captured)));
  ASSERT_NE(samples, nullptr);
  std::memcpy(samples, rig.audio->m_record, sizeof(int16_t) * static_cast<size_t>(captured));
  rig.audio->m_fileSamples = samples;
  rig.audio->m_fileSampleCount.store(captured);
  rig.graph->ClearCurve();
  auto poll = [&]() {
    if (rig.graph->m_count.load() >= 100) rig.sequence->RequestStop();
  };
  EXPECT_EQ(rig.sequence->RunReplay(-1, kTimeoutMs, poll), MeasurementOutcome::kStopped);
  EXPECT_LT(rig.graph->m_count.load(), 1001);
  EXPECT_EQ(rig.audio->m_fileSamples, nullptr);
  EXPECT_EQ(rig.audio->m_filePlaying.load(), 0);
  EXPECT_TRUE(DevicesAtRest(*rig.audio, *rig.sim));
  EXPECT_TRUE(rig.messages.Messages().empty());
}

// ---- failures ----

TEST(MeasurementFailure, NoInputDeviceIsNotAValidPeripheral) {
  SimulatedAudioOptions options;
  options.inputCount = 0;
  Rig rig(options);
  int count = 7;
  EXPECT_EQ(rig.audio->EnumerateInputDevices(&count), kE_UNEXPECTED);
  EXPECT_EQ(count, 7);
  EXPECT_EQ(rig.Measure(), MeasurementOutcome::kFailed);
  EXPECT_EQ(rig.messages.Messages(),
            std::vector<std::string>{"Not a valid Audio Input peripheral"});
  EXPECT_TRUE(DevicesAtRest(*rig.audio, *rig.sim));
  EXPECT_EQ(rig.shared.m_bCapturing.load(), 0);
}

TEST(MeasurementFailure, InputIndexOutOfRangeIsNotAValidPeripheral) {
  Rig rig;
  MeasurementRequest request;
  request.inputIndex = 3;
  EXPECT_EQ(rig.sequence->RunMeasurement(request, {}), MeasurementOutcome::kFailed);
  EXPECT_EQ(rig.messages.Messages(),
            std::vector<std::string>{"Not a valid Audio Input peripheral"});
  EXPECT_TRUE(DevicesAtRest(*rig.audio, *rig.sim));
}

TEST(MeasurementFailure, InputRenamedSinceTheListingCannotBeOpened) {
  Rig rig;
  rig.sim->SetInputName(0, "USB microphone");
  EXPECT_EQ(rig.Measure(), MeasurementOutcome::kFailed);
  EXPECT_EQ(rig.messages.Messages(),
            std::vector<std::string>{
                "Could Not Open this Audio Input Device: \n0x8000FFFF : UNKNOWN ERROR\n"});
  EXPECT_TRUE(DevicesAtRest(*rig.audio, *rig.sim));
  EXPECT_EQ(rig.shared.m_bInputOpen.load(), 0);
}

TEST(MeasurementFailure, InputLostDuringTheSweepEndsTheMeasurement) {
  Rig rig;
  auto poll = [&]() {
    if (rig.graph->m_count.load() >= 50) rig.sim->SetInputLost(true);
  };
  EXPECT_EQ(rig.Measure(poll), MeasurementOutcome::kFailed);
  EXPECT_EQ(rig.messages.Messages(),
            std::vector<std::string>{"The Audio Input stopped during the measurement: \n"
                                     "0x88890004 : AUDCLNT_E_DEVICE_INVALIDATED\n"});
  EXPECT_TRUE(DevicesAtRest(*rig.audio, *rig.sim));
}

TEST(MeasurementFailure, OutputRefusingBuffersEndsTheMeasurement) {
  Rig rig;
  auto poll = [&]() {
    if (rig.graph->m_count.load() >= 20) rig.sim->SetRefuseBuffers(true);
  };
  EXPECT_EQ(rig.Measure(poll), MeasurementOutcome::kFailed);
  EXPECT_GT(rig.sim->QueueRefusals(), 0);
  EXPECT_EQ(rig.messages.Messages(),
            std::vector<std::string>{"The Audio Output stopped during the measurement"});
  EXPECT_TRUE(DevicesAtRest(*rig.audio, *rig.sim));
}

TEST(MeasurementFailure, SilentLoudspeakerTimesOutWithoutSync) {
  Rig rig;
  rig.sim->SetOutputStalled(false);
  rig.audio->m_playVolume = 0;  // every output sample is 0: nothing reaches the microphone
  rig.graph->ClearCurve();
  MeasurementRequest request;
  request.timeoutMs = 3000;
  EXPECT_EQ(rig.sequence->RunMeasurement(request, {}), MeasurementOutcome::kFailed);
  EXPECT_EQ(rig.messages.Messages(),
            std::vector<std::string>{
                "No sync burst was heard: check the loudspeaker and the microphone"});
  EXPECT_EQ(rig.graph->m_count.load(), 0);
  EXPECT_TRUE(DevicesAtRest(*rig.audio, *rig.sim));
}

}  // namespace

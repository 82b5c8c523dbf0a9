// Whole measurements and replays on the simulated loudspeaker, with the fast clock: the curve
// against the loudspeaker model, the replay against the live curve, and every way a measurement
// can end leaving no thread, stream or buffer behind.
#include "control/run/measurement_sequence.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "audio/sim/loudspeaker_model.h"
#include "base/point_frequency.h"
#include "base/shared_state.h"
#include "control/captures/capture_files.h"
#include "control/response/capture_response.h"
#include "graph/graphical.h"
#include "measurement/measurement_response.h"
#include "tests/control/control_test_support.h"
#include "tests/engine/device_test_support.h"

namespace quorvel {

namespace {

constexpr uint32_t kTimeoutMs = 60000;  // on the simulated clock

struct Rig : SimulatedCore {
  using SimulatedCore::SimulatedCore;
  // A measurement to its end (repeated after a dropout of an overloaded machine).
  SequenceStatus Measure(const std::function<void()>& poll = {}) {
    MeasurementRequest request;
    request.timeoutMs = kTimeoutMs;
    return MeasureAllowingDropouts(
        Sequence(), messages, request, [this] { Graph().ClearCurve(); }, poll);
  }
};

// Frequency of point k of the default 20 Hz .. 20 kHz curve.
double PointHz(int k) {
  return PointFrequency(k, 20.0, 20000.0);
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

// Points whose frequency lies in 100 Hz .. 15 kHz.
std::vector<int> MidBandPoints() {
  std::vector<int> points;
  for (int k = 0; k <= 1000; ++k) {
    const double f = PointHz(k);
    if (f >= 100.0 && f <= 15000.0) points.push_back(k);
  }
  return points;
}

TEST(MeasurementSequence, CompleteMeasurementFollowsTheLoudspeakerAndItsReplayRepeatsIt) {
  Rig rig;
  ASSERT_EQ(rig.Audio().InputCount(), 1);
  ASSERT_EQ(rig.Audio().OutputCount(), 2);
  EXPECT_STREQ(rig.Audio().OutputName(1), "Default Audio Output");

  ASSERT_EQ(rig.Measure(), SequenceStatus::kComplete)
      << testing::PrintToString(rig.messages.Messages());
  EXPECT_TRUE(rig.messages.Messages().empty());
  const std::vector<double> live = rig.Curve();
  ASSERT_EQ(live.size(), 1001u);
  EXPECT_TRUE(DevicesAtRest(rig.Audio(), *rig.sim));
  EXPECT_EQ(rig.Shared().m_bCapturing.load(), 0);
  EXPECT_EQ(rig.Shared().m_bInputOpen.load(), 0);
  EXPECT_STREQ(rig.Shared().m_szGraphCaption, "Quorvel Capture");
  EXPECT_EQ(rig.sim->CaptureOverruns(), 0);

  // The measured curve is the model's response plus one overall level (sweep level, capture
  // gain 1.33, the model's loss), within 1 dB from 100 Hz to 15 kHz.
  std::vector<double> offsets;
  for (int k : MidBandPoints()) {
    offsets.push_back(live[k] - CLoudspeakerModel::ResponseDb(PointHz(k)));
  }
  const double level = Median(offsets);
  for (int k : MidBandPoints()) {
    const double f = PointHz(k);
    EXPECT_NEAR(live[k] - level, CLoudspeakerModel::ResponseDb(f), 1.0)
        << "point " << k << " at " << f << " Hz";
  }
  // The sweep (full scale 16-bit) through the 1.33 capture gain: the overall level lies near
  // 20*log10(1.33) = 2.5 dB above the model's response.
  EXPECT_NEAR(level, 2.48, 0.5);
  // From point 0 on, every point reads the sweep at its own frequency: none lies more than 3 dB
  // below the model there (a point read early, in the silence before the lead-in or below its
  // frequency on the high-pass slope, would).
  for (int k = 0; k <= 1000; ++k) {
    const double f = PointHz(k);
    EXPECT_GE(live[k] - level, CLoudspeakerModel::ResponseDb(f) - 3.0)
        << "point " << k << " at " << f << " Hz";
  }

  // The recording starts at index 0 of the record track; replay it as a loaded file would be.
  ASSERT_GT(rig.Audio().Counters().capturedCount, 48000 * 20);
  const std::vector recorded(rig.Audio().Recording().begin(), rig.Audio().Recording().end());
  ASSERT_NO_FATAL_FAILURE(LoadRecordingAsSamples(rig.Audio()));
  rig.Graph().ClearCurve();
  ASSERT_EQ(RunReplay(rig.Sequence(), -1, kTimeoutMs), SequenceStatus::kComplete)
      << testing::PrintToString(rig.messages.Messages());
  EXPECT_TRUE(rig.Sequence().ReplayEnded());
  EXPECT_EQ(rig.Audio().Loaded().data(), nullptr);  // freed once the play thread had gone
  EXPECT_FALSE(rig.Audio().IsFilePlaying());
  EXPECT_TRUE(DevicesAtRest(rig.Audio(), *rig.sim));

  // the replay's recording is the loaded samples, every one as it was
  EXPECT_TRUE(std::ranges::equal(rig.Audio().Recording(), recorded));
  const std::vector<double> replayed = rig.Curve();
  ASSERT_EQ(replayed.size(), 1001u);
  for (int k : MidBandPoints()) {
    EXPECT_NEAR(replayed[k], live[k], 0.1) << "point " << k;
  }
  // the replay ends in a measurement of its own, with the same recording and curve
  const Measurement& measurement = *rig.Sequence().LastMeasurement();
  EXPECT_TRUE(measurement.Warnings().replayed);
  EXPECT_EQ(measurement.GetRecording().samples, recorded);
  EXPECT_TRUE(std::ranges::equal(measurement.Levels(), replayed));
}

// Where in the cycle a stop request comes.
enum class StopPoint { kBeforeSync, kSettling, kMeasuring };

class MeasurementStop : public testing::TestWithParam<StopPoint> {};

TEST_P(MeasurementStop, LeavesNoThreadStreamOrBuffer) {
  Rig rig;
  bool requested = false;
  auto poll = [&]() {
    if (requested) return;
    const bool playing = rig.Audio().IsSweepPlaying();
    const bool synced = rig.Audio().Counters().synced;
    const int points = rig.Graph().m_count.load();
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
      rig.Sequence().RequestStop();
    }
  };
  EXPECT_EQ(rig.Measure(poll), SequenceStatus::kStopped);
  EXPECT_TRUE(requested);
  EXPECT_LT(rig.Graph().m_count.load(), 1001);
  EXPECT_TRUE(DevicesAtRest(rig.Audio(), *rig.sim));
  EXPECT_FALSE(rig.Audio().IsSweepPlaying());
  // A stopped capture leaves no recording to save.
  EXPECT_EQ(rig.Audio().Counters().capturedCount, 0);
  EXPECT_TRUE(rig.messages.Messages().empty());
}

INSTANTIATE_TEST_SUITE_P(EveryPoint, MeasurementStop,
                         testing::Values(StopPoint::kBeforeSync, StopPoint::kSettling,
                                         StopPoint::kMeasuring));

TEST(MeasurementSequence, StopAfterCompletionChangesNothingAndANewMeasurementRuns) {
  Rig rig;
  ASSERT_EQ(rig.Measure(), SequenceStatus::kComplete)
      << testing::PrintToString(rig.messages.Messages());
  const int captured = rig.Audio().Counters().capturedCount;
  rig.Sequence().RequestStop();
  EXPECT_TRUE(DevicesAtRest(rig.Audio(), *rig.sim));
  EXPECT_EQ(rig.Audio().Counters().capturedCount, captured);
  // The next measurement starts afresh (the old stop request does not end it).
  ASSERT_EQ(rig.Measure(), SequenceStatus::kComplete)
      << testing::PrintToString(rig.messages.Messages());
  EXPECT_EQ(rig.Graph().m_count.load(), 1001);
  EXPECT_TRUE(DevicesAtRest(rig.Audio(), *rig.sim));
}

TEST(MeasurementSequence, TwoMeasurementsInARowKeepTheirOwnRecordings) {
  Rig rig;
  EXPECT_FALSE(rig.Sequence().LastMeasurement().has_value());
  ASSERT_EQ(rig.Measure(), SequenceStatus::kComplete)
      << testing::PrintToString(rig.messages.Messages());
  const Measurement first = *rig.Sequence().LastMeasurement();
  const std::vector<int16_t> firstSamples(rig.Audio().Recording().begin(),
                                          rig.Audio().Recording().end());
  ASSERT_EQ(first.PointCount(), 1001);
  EXPECT_EQ(first.GetRecording().samples, firstSamples);
  // The second run writes the record track afresh; the first measurement keeps its samples.
  ASSERT_EQ(rig.Measure(), SequenceStatus::kComplete)
      << testing::PrintToString(rig.messages.Messages());
  const Measurement second = *rig.Sequence().LastMeasurement();
  EXPECT_NE(&first.GetRecording(), &second.GetRecording());
  EXPECT_EQ(first.GetRecording().samples, firstSamples);
  EXPECT_TRUE(std::equal(second.GetRecording().samples.begin(), second.GetRecording().samples.end(),
                         rig.Audio().Recording().begin(), rig.Audio().Recording().end()));
  EXPECT_FALSE(first.GetRecording().samples.empty());
  for (int k = 0; k < 1001; ++k) {
    ASSERT_EQ(second.Levels()[static_cast<size_t>(k)], rig.Graph().m_points[k].load()) << k;
  }
  EXPECT_EQ(first.Fmin(), 20.0);
  EXPECT_EQ(first.Fmax(), 20000.0);
}

TEST(MeasurementSequence, AReplayStoppedMidwayEndsAndFreesItsSamples) {
  Rig rig;
  ASSERT_EQ(rig.Measure(), SequenceStatus::kComplete)
      << testing::PrintToString(rig.messages.Messages());
  ASSERT_NO_FATAL_FAILURE(LoadRecordingAsSamples(rig.Audio()));
  rig.Graph().ClearCurve();
  auto poll = [&]() {
    if (rig.Graph().m_count.load() >= 100) rig.Sequence().RequestStop();
  };
  EXPECT_EQ(RunReplay(rig.Sequence(), -1, kTimeoutMs, poll), SequenceStatus::kStopped);
  EXPECT_LT(rig.Graph().m_count.load(), 1001);
  EXPECT_EQ(rig.Audio().Loaded().data(), nullptr);
  EXPECT_FALSE(rig.Audio().IsFilePlaying());
  EXPECT_TRUE(DevicesAtRest(rig.Audio(), *rig.sim));
  EXPECT_TRUE(rig.messages.Messages().empty());
}

TEST(MeasurementSequence, AReplayOfARecordingWithoutASyncBurstSaysSo) {
  Rig rig;
  // 2 s of silence
  rig.Audio().LoadSamples(LoadedSamples(static_cast<int16_t*>(std::calloc(96000, 2))), 96000);
  EXPECT_EQ(RunReplay(rig.Sequence(), -1, 0), SequenceStatus::kFailed);
  EXPECT_EQ(rig.messages.Messages(), std::vector<std::string>{kMsgRecordingNoSync});
}

TEST(MeasurementSequence, AReplayedRecordingWithAGapOrAnotherRangeFailsAndCannotBeSaved) {
  Rig rig;
  const int length = rig.Audio().GenerateSweep(20.0, 20000.0);
  for (const double fmax : {20000.0, 1000.0}) {  // a gap in the sweep; a sweep of another range
    auto* samples = static_cast<int16_t*>(std::malloc(static_cast<size_t>(length) * 2));
    std::memcpy(samples, rig.Audio().Sweep().data(), static_cast<size_t>(length) * 2);
    if (fmax == 20000.0) std::fill(samples + 600000, samples + 600100, int16_t{0});
    rig.Audio().LoadSamples(LoadedSamples(samples), length);
    rig.Shared().m_curveFmin = 20.0;
    rig.Shared().m_curveFmax = fmax;
    rig.messages.Clear();
    EXPECT_EQ(RunReplay(rig.Sequence(), -1, kTimeoutMs), SequenceStatus::kFailed);
    EXPECT_EQ(rig.messages.Messages().at(0),
              fmax == 20000.0 ? kMsgRecordingGap
                              : "The recording's sweep does not match the range 20.00-1000.00 Hz");
    EXPECT_FALSE(HasCaptureToSave(rig.core->FileContext()));
  }
}

// ---- what the Load Audio File command sees ----

TEST(MeasurementActivity, LastsFromTheOpenInputOrTheStartUntilTheRunIsFinished) {
  Rig rig;
  const CaptureFileContext files = rig.core->FileContext();
  EXPECT_FALSE(IsMeasurementActive(files));

  // The input button alone.
  ASSERT_TRUE(rig.Sequence().OpenInputPeripheral(0));
  EXPECT_TRUE(IsMeasurementActive(files));
  rig.Sequence().CloseInputPeripheral();
  EXPECT_FALSE(IsMeasurementActive(files));

  // A measurement, stopped by the user.
  rig.Graph().ClearCurve();
  MeasurementRequest request;
  request.timeoutMs = kTimeoutMs;
  ASSERT_TRUE(rig.Sequence().Start(request));
  EXPECT_TRUE(IsMeasurementActive(files));
  rig.Sequence().RequestStop();
  EXPECT_EQ(RunToEnd(rig.Sequence()), SequenceStatus::kStopped);
  EXPECT_FALSE(IsMeasurementActive(files));

  // A replay of loaded samples (ten seconds of silence), stopped by the user.
  rig.Audio().LoadSamples(LoadedSamples(static_cast<int16_t*>(std::calloc(480000, 2))), 480000);
  ASSERT_TRUE(rig.Sequence().StartReplay(-1, kTimeoutMs));
  EXPECT_TRUE(IsMeasurementActive(files));
  rig.Sequence().RequestStop();
  EXPECT_EQ(RunToEnd(rig.Sequence()), SequenceStatus::kStopped);
  EXPECT_FALSE(IsMeasurementActive(files));
  EXPECT_TRUE(DevicesAtRest(rig.Audio(), *rig.sim));
  EXPECT_TRUE(rig.messages.Messages().empty());
}

// ---- failures ----

TEST(MeasurementFailure, NoInputDeviceIsNotAValidPeripheral) {
  SimulatedAudioOptions options;
  options.inputCount = 0;
  Rig rig(options);
  int count = 7;
  EXPECT_EQ(rig.Audio().EnumerateInputDevices(&count), kE_UNEXPECTED);
  EXPECT_EQ(count, 7);
  EXPECT_EQ(rig.Measure(), SequenceStatus::kFailed);
  EXPECT_EQ(rig.messages.Messages(),
            std::vector<std::string>{"Not a valid Audio Input peripheral"});
  EXPECT_TRUE(DevicesAtRest(rig.Audio(), *rig.sim));
  EXPECT_EQ(rig.Shared().m_bCapturing.load(), 0);
}

TEST(MeasurementFailure, InputIndexOutOfRangeIsNotAValidPeripheral) {
  Rig rig;
  MeasurementRequest request;
  request.inputIndex = 3;
  EXPECT_EQ(RunMeasurement(rig.Sequence(), request), SequenceStatus::kFailed);
  EXPECT_EQ(rig.messages.Messages(),
            std::vector<std::string>{"Not a valid Audio Input peripheral"});
  EXPECT_TRUE(DevicesAtRest(rig.Audio(), *rig.sim));
}

TEST(MeasurementFailure, InputRenamedSinceTheListingCannotBeOpened) {
  Rig rig;
  rig.sim->SetInputName(0, "USB microphone");
  EXPECT_EQ(rig.Measure(), SequenceStatus::kFailed);
  EXPECT_EQ(rig.messages.Messages(),
            std::vector<std::string>{
                "Could Not Open this Audio Input Device: \n0x8000FFFF : E_UNEXPECTED\n"
                "The device list has changed since it was read: choose the device again."});
  EXPECT_TRUE(DevicesAtRest(rig.Audio(), *rig.sim));
  EXPECT_EQ(rig.Shared().m_bInputOpen.load(), 0);
}

TEST(MeasurementFailure, InputLostDuringTheSweepEndsTheMeasurement) {
  Rig rig;
  auto poll = [&]() {
    if (rig.Graph().m_count.load() >= 50) rig.sim->SetInputLost(true);
  };
  EXPECT_EQ(rig.Measure(poll), SequenceStatus::kFailed);
  EXPECT_EQ(rig.messages.Messages(),
            std::vector<std::string>{"The Audio Input stopped during the measurement: \n"
                                     "0x88890004 : AUDCLNT_E_DEVICE_INVALIDATED\n"
                                     "The device was removed."});
  EXPECT_TRUE(DevicesAtRest(rig.Audio(), *rig.sim));
}

TEST(MeasurementFailure, OutputRefusingBuffersEndsTheMeasurement) {
  Rig rig;
  auto poll = [&]() {
    if (rig.Graph().m_count.load() >= 20) rig.sim->SetRefuseBuffers(true);
  };
  EXPECT_EQ(rig.Measure(poll), SequenceStatus::kFailed);
  EXPECT_GT(rig.sim->QueueRefusals(), 0);
  EXPECT_EQ(rig.messages.Messages(),
            std::vector<std::string>{"The Audio Output stopped during the measurement"});
  EXPECT_TRUE(DevicesAtRest(rig.Audio(), *rig.sim));
}

TEST(MeasurementFailure, SilentLoudspeakerTimesOutWithoutSync) {
  Rig rig;
  rig.sim->SetOutputStalled(false);
  rig.Audio().SetPlayVolume(0);  // every output sample is 0: nothing reaches the microphone
  rig.Graph().ClearCurve();
  MeasurementRequest request;
  request.timeoutMs = 3000;
  EXPECT_EQ(RunMeasurement(rig.Sequence(), request), SequenceStatus::kFailed);
  EXPECT_EQ(rig.messages.Messages(),
            std::vector<std::string>{
                "No sync burst was heard: check the loudspeaker and the microphone"});
  EXPECT_EQ(rig.Graph().m_count.load(), 0);
  EXPECT_TRUE(DevicesAtRest(rig.Audio(), *rig.sim));
}

// Devices at another rate than 48000 Hz, the graph's rate named after "resamples" when known;
// devices at 48000 Hz or of an unknown rate give no warning.
TEST(ResampledWarning, NamesEachDeviceTheServerResamples) {
  const struct {
    uint32_t input, output, graph;
    const char* warning;
  } cases[] = {
      {48000, 48000, 48000, ""},
      {0, 0, 0, ""},
      {0, 44100, 0,
       "The Audio Output runs at 44100 Hz: the server resamples. Set it to 48000 Hz and measure "
       "again"},
      {96000, 48000, 48000,
       "The Audio Input runs at 96000 Hz: the server resamples (PipeWire's graph runs at 48000 "
       "Hz). Set it to 48000 Hz and measure again"},
      {44100, 44100, 0,
       "The Audio Input and the Audio Output run at 44100 Hz: the server resamples. Set them to "
       "48000 Hz and measure again"},
      {32000, 44100, 44100,
       "The Audio Input runs at 32000 Hz and the Audio Output at 44100 Hz: the server resamples "
       "(PipeWire's graph runs at 44100 Hz). Set them to 48000 Hz and measure again"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ResampledWarning(c.input, c.output, c.graph), c.warning)
        << c.input << " " << c.output << " " << c.graph;
  }
  // The simulated devices run at 48000 Hz: a complete measurement carries no such warning.
  Rig rig;
  ASSERT_EQ(rig.Measure(), SequenceStatus::kComplete) << rig.messages.All();
  EXPECT_EQ(rig.Sequence().RateWarning(), "");
  EXPECT_TRUE(rig.Sequence().Warnings().empty());
}

// The loopback input's device latency, drawn at every capture, lengthens the played sweep's delay
// past the reference's; the fixed-timing microphone's played sweep's delay is the reference's.
TEST(PlayedSignalDelay, IsTheModelsDelayPlusTheDrawnDeviceLatency) {
  SimulatedCore rig;
  std::vector<double> acousticMs;  // the reference's delays
  for (const auto& [loopback, runs] : {std::pair{2, 4}, std::pair{0, 2}}) {
    rig.sim->SetLoopbackChannel(loopback);
    MeasurementRequest request;
    request.outputIndex = 0;
    request.timeoutMs = 60000;
    request.reference = loopback != 0 ? ReferenceChannel::kRight : ReferenceChannel::kNone;
    request.channel = loopback != 0 ? InputChannel::kLeft : InputChannel::kLouder;
    for (int run = 0; run < runs; ++run) {
      ASSERT_EQ(MeasureAllowingDropouts(rig.Sequence(), rig.messages, request,
                                        [&] { rig.Graph().ClearCurve(); }),
                SequenceStatus::kComplete);
      const Measurement& measurement = *rig.Sequence().LastMeasurement();
      CImpulseAnalysis analysis;
      ASSERT_EQ(AnalyseMeasurementResponse(measurement, 0.0, &analysis), ResponseStatus::kOk);
      const double playedMs = analysis.GetTimeReference().playedDelaySamples.value() / 48.0;
      if (loopback == 0) {
        EXPECT_NEAR(playedMs, acousticMs.at(0), 0.02);
        continue;
      }
      ResponseTiming timing;
      ASSERT_TRUE(TimeRecordingFromReference(measurement.GetRecording(), 20.0, 20000.0, &timing));
      acousticMs.push_back(timing.delaySamples / 48.0);
      const double latencyMs = rig.sim->LoopbackLatencyFrames() / 48.0;
      EXPECT_TRUE(latencyMs >= 5.0 && latencyMs <= 40.0) << latencyMs;
      EXPECT_NEAR(playedMs - acousticMs.back(), latencyMs, 0.03);
    }
  }
}

}  // namespace

}  // namespace quorvel

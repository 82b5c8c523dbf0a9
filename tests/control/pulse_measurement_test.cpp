// Whole measurements through real audio servers that speak the PulseAudio protocol: PulseAudio
// itself and PipeWire's PulseAudio server, each started privately and fresh for every test, with
// no warm-up of any sink. The sweep plays into a LADSPA high-pass sink in front of the null sink
// and is recorded from the null sink's monitor, so a wrong frequency axis shows: the curve must
// be the high-pass's own, as the engine analyses the generated sweep through the same filter.
// The servers also stop, die and lose a sink in the middle of the sweep.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "audio/pulse/pulse_audio_services.h"
#include "base/shared_state.h"
#include "control/run/measurement_sequence.h"
#include "engine/audio_engine.h"
#include "engine/curve_listener.h"
#include "graph/graphical.h"
#include "tests/audio/pulse/audio_test_server.h"
#include "tests/control/control_test_support.h"

namespace quorvel {

namespace {

using Clock = std::chrono::steady_clock;

// The high-pass in the loop: the LADSPA SDK's "hpf", a one-pole low-pass taken from the signal,
// -3 dB at this frequency. [Hz]
constexpr double kCutoffHz = 200.0;

// The whole sweep lasts about 22 s, and a suspended sink wakes first; on a loaded machine the
// sinks may run slower than real time, so the measurement is given far longer. [ms on the
// devices' clock]
constexpr uint32_t kMeasurementLimitMs = 180000;

// After the server dies, the measurement must have ended within this; the loss is seen at
// once, and the bound only tells a hang from a slow machine. [ms]
constexpr int kEndAfterLossBoundMs = 4000;

// The capture gain of these measurements: the loopback's full-scale sweep, times 1.33, stays
// well below full scale, so no point is clipped flat. [dB]
constexpr double kGainDb = -12.0;

// The points whose levels are compared, from 40 Hz up (below, the high-pass takes the sweep
// down by 15 dB and more), and the tolerance there. [dB]
constexpr int kFirstComparedPoint = 100;
constexpr double kLevelToleranceDb = 1.0;

// How far a right curve may stray, on both servers: the -3 dB point within two points of the
// reference, every point within the tolerance. A gap of zeros (PipeWire playing a late quantum
// as silence) fails the measurement, so a curve that completes is as right on PipeWire as on
// PulseAudio; a measurement that ends on a reported dropout is repeated, a few times at most.
constexpr int kMinusThreeDbPoints = 2;
constexpr int kOutliers = 0;
constexpr int kAttempts = 3;

constexpr char kDropoutMessage[] =
    "The measurement was interrupted by a dropout during the sweep: ";

// Keeps the points the engine finds.
class CPointList : public ICurveListener {
 public:
  bool AddPoint(double levelDb) override {
    points.push_back(levelDb);
    return false;
  }
  std::vector<double> points;
};

// The one-pole high-pass of the LADSPA SDK, as its documentation describes it: the output is
// the input less a one-pole low-pass whose pole a = b - sqrt(b^2 - 1), b = 2 - cos(2 pi fc / fs),
// which puts the -3 dB point at fc.
std::vector<int16_t> HighPassed(const int16_t* signal, int length, double cutoffHz) {
  const double b = 2.0 - std::cos(2.0 * M_PI * cutoffHz / 48000.0);
  const double a = b - std::sqrt(b * b - 1.0);
  std::vector<int16_t> out(static_cast<size_t>(length));
  double low = 0.0;
  for (int n = 0; n < length; ++n) {
    const double x = signal[n];
    low = (1.0 - a) * x + a * low;
    out[static_cast<size_t>(n)] = static_cast<int16_t>(std::lround(x - low));
  }
  return out;
}

// The curve the engine finds in the generated 20 Hz .. 20 kHz sweep passed through the
// high-pass: what a measurement through the servers must give, whatever the analysis' own
// timing of the points.
const std::vector<double>& ReferenceCurve() {
  static const std::vector<double> curve = [] {
    CPointList list;
    auto audio = std::make_unique<CAudio>(nullptr, &list);
    const int length = audio->GenerateSweep(20.0, 20000.0);
    std::vector<int16_t> filtered = HighPassed(audio->Sweep().data(), length, kCutoffHz);
    audio->ReplayAtFullSpeed(filtered.data(), length, 20.0);
    list.points.resize(std::min<size_t>(list.points.size(), 1001));
    return list.points;
  }();
  return curve;
}

// The first point from which on the curve stays within 3 dB of its level at 2..5 kHz: where
// the high-pass's -3 dB point lies on the curve.
int MinusThreeDbPoint(const std::vector<double>& curve) {
  std::vector<double> plateau(curve.begin() + 767, curve.begin() + 900);  // 2 .. 5 kHz
  std::nth_element(plateau.begin(), plateau.begin() + static_cast<long>(plateau.size() / 2),
                   plateau.end());
  const double level = plateau[plateau.size() / 2];
  int point = static_cast<int>(curve.size());
  while (point > 0 && curve[static_cast<size_t>(point - 1)] >= level - 3.0) --point;
  return point;
}

// Point k of a 20 Hz .. 20 kHz curve lies at 20 * 1000^(k / 1000).
int NominalPoint(double frequencyHz) {
  return static_cast<int>(std::lround(1000.0 * std::log(frequencyHz / 20.0) / std::log(1000.0)));
}

class ServerMeasurementTest : public testing::TestWithParam<const char*> {
 protected:
  // A fresh server (idle sinks suspended after `suspendSeconds` when not 0) with the high-pass
  // sink, and a core connected to it. Skips when the server's programs are missing.
  void StartServer(int suspendSeconds = 0) {
    m_server = MakeAudioTestServer(GetParam());
    m_server->SetSuspendOnIdle(suspendSeconds);
    std::string why;
    bool missing = false;
    if (!m_server->Start(&why, &missing)) {
      if (missing) GTEST_SKIP() << why;
      FAIL() << why;
    }
    ASSERT_TRUE(m_server->AddHighPassSink("quorvel_hpf", "Quorvel High Pass", kCutoffHz, &why))
        << why;
    // A generous bound: the server has only just started, and the machine may be loaded.
    Result<std::unique_ptr<CPulseAudioServices>> services = CPulseAudioServices::Connect(10000);
    ASSERT_TRUE(services.Ok()) << services.Message() << "\n" << m_server->Log();
    m_core = std::make_unique<CQuorvelCore>(std::move(*services), m_preferences, m_messages);
    ASSERT_EQ(m_core->InputListResult(), 0);
    m_monitorInput = Entry(Audio().InputNames(), "Monitor of Quorvel Null Output");
    m_highPassOutput = Entry(Audio().OutputNames(), "Quorvel High Pass");
    m_nullOutput = Entry(Audio().OutputNames(), "Quorvel Null Output");
    m_secondOutput =
        Entry(Audio().OutputNames(), "Quorvel Second Null Output With A Long Description");
    ASSERT_GE(m_monitorInput, 0);
    ASSERT_GE(m_highPassOutput, 0);
    ASSERT_GE(m_nullOutput, 0);
    ASSERT_GE(m_secondOutput, 0);
  }

  void TearDown() override {
    m_core.reset();  // the engine and the services go before the server
    if (m_server != nullptr) m_server->Stop();
  }

  static int Entry(const std::vector<std::string>& names, const char* name) {
    const auto found = std::find(names.begin(), names.end(), name);
    return found == names.end() ? -1 : static_cast<int>(found - names.begin());
  }

  MeasurementRequest Request(int outputIndex) const {
    MeasurementRequest request;
    request.inputIndex = m_monitorInput;
    request.outputIndex = outputIndex;
    request.gainDb = kGainDb;
    request.timeoutMs = kMeasurementLimitMs;
    return request;
  }

  // One measurement through the high-pass to its end. A dropout of a machine too busy for the
  // servers is reported by the sequence as it should; the measurement is then repeated, a few
  // times at most (the attempts are recorded).
  SequenceStatus MeasureThroughTheHighPass() {
    int attempts = 0;
    const SequenceStatus status = MeasureAllowingDropouts(
        Sequence(), m_messages, Request(m_highPassOutput),
        [&] {
          ++attempts;
          Graph().ClearCurve();
        },
        {}, kAttempts);
    RecordProperty("attempts", attempts);
    return status;
  }

  // The curve just measured is the high-pass's: the same -3 dB point as the reference (within
  // two points), the same shape within kLevelToleranceDb from 40 Hz up, and no
  // hole.
  void ExpectTheHighPassCurve() {
    std::vector<double> curve;
    for (int k = 0; k < Graph().m_count.load(); ++k) curve.push_back(Graph().m_points[k].load());
    ASSERT_EQ(curve.size(), 1001u);
    const std::vector<double>& reference = ReferenceCurve();
    ASSERT_EQ(reference.size(), 1001u);
    const int measured = MinusThreeDbPoint(curve);
    const int expected = MinusThreeDbPoint(reference);
    EXPECT_NEAR(measured, expected, kMinusThreeDbPoints)
        << "nominal point " << NominalPoint(kCutoffHz);
    RecordProperty("minusThreeDbPoint", measured);
    // One overall level apart (capture gain, the servers' volume), the same shape.
    std::vector<double> offsets;
    for (int k = 700; k <= 900; ++k) offsets.push_back(curve[k] - reference[k]);
    std::nth_element(offsets.begin(), offsets.begin() + static_cast<long>(offsets.size() / 2),
                     offsets.end());
    const double offset = offsets[offsets.size() / 2];
    std::string strays;
    int stray = 0;
    for (int k = kFirstComparedPoint; k <= 1000; ++k) {
      if (std::fabs(curve[k] - offset - reference[k]) > kLevelToleranceDb) {
        ++stray;
        strays += " " + std::to_string(k) + ":" + std::to_string(curve[k] - offset - reference[k]);
      }
    }
    EXPECT_LE(stray, kOutliers) << "points off by more than " << kLevelToleranceDb
                                << " dB (point:dB):" << strays;
    RecordProperty("strayPoints", stray);
    // Its recording, replayed, gives a curve that stands.
    CPointList replayed;
    auto replay = std::make_unique<CAudio>(nullptr, &replayed);
    const auto recording = Audio().Recording();
    replay->ReplayAtFullSpeed(recording.data(), static_cast<int>(recording.size()), 20.0);
    EXPECT_EQ(JudgeReplay(replay->Counters(), 1001, recording, 20.0, 20000.0).failure, "");
  }

  CAudio& Audio() { return m_core->Audio(); }
  CGraphical& Graph() { return m_core->Graph(); }
  CMeasurementSequence& Sequence() { return m_core->Sequence(); }

  std::unique_ptr<CAudioTestServer> m_server;
  CMemoryPreferences m_preferences;
  CScriptedMessages m_messages;
  std::unique_ptr<CQuorvelCore> m_core;
  int m_monitorInput = -1;
  int m_highPassOutput = -1;
  int m_nullOutput = -1;
  int m_secondOutput = -1;
};

TEST(HighPassReference, HasItsMinusThreeDbPointNearTheCutoff) {
  // The reference itself: the analysis reads each point a few blocks before the sweep passes
  // the point's frequency, so its -3 dB point lies at most five points above the nominal one.
  const int point = MinusThreeDbPoint(ReferenceCurve());
  EXPECT_GE(point, NominalPoint(kCutoffHz) - 2);
  EXPECT_LE(point, NominalPoint(kCutoffHz) + 5);
}

// Three measurements on a fresh server; the second with the high-pass sink at 300 %, which
// clips the monitor's samples before the capture gain: the curve completes with the warning
// that says so, and the next one at 100 % is right again without it.
TEST_P(ServerMeasurementTest, ThreeMeasurementsOnAFreshServerAreRightOrSayWhereTheyClipped) {
  ASSERT_NO_FATAL_FAILURE(StartServer());
  if (IsSkipped()) return;
  for (int run = 0; run < 3; ++run) {
    SCOPED_TRACE("measurement " + std::to_string(run + 1));
    const bool tooLoud = run == 1;
    m_server->Pactl(std::string("set-sink-volume quorvel_hpf ") + (tooLoud ? "300%" : "100%"));
    ASSERT_EQ(MeasureThroughTheHighPass(), SequenceStatus::kComplete) << m_messages.All();
    EXPECT_TRUE(m_messages.Messages().empty()) << m_messages.All();
    if (tooLoud) {
      EXPECT_NE(Sequence().ClipWarning().find(
                    "lower the level of the input device or of the signal feeding it"),
                std::string::npos)
          << Sequence().ClipWarning();
    } else {
      // The sinks run at 48000 Hz: no warning at all.
      EXPECT_EQ(Sequence().Warnings(), std::vector<std::string>{});
      ASSERT_NO_FATAL_FAILURE(ExpectTheHighPassCurve());
    }
    EXPECT_EQ(m_core->Shared().m_bInputOpen.load(), 0);
    EXPECT_FALSE(Audio().IsOutputOpen());
  }
}

TEST_P(ServerMeasurementTest, ASuspendedSinkMeasuresRight) {
  ASSERT_NO_FATAL_FAILURE(StartServer(1));
  if (IsSkipped()) return;
  // The sinks have played and gone idle, and are suspended when the measurement starts.
  ASSERT_TRUE(m_server->PlayBriefly("quorvel_hpf", 300));
  ASSERT_TRUE(m_server->WaitForSinkState("quorvel_null", "SUSPENDED", 20000))
      << m_server->Pactl("list short sinks");
  ASSERT_TRUE(m_server->WaitForSinkState("quorvel_hpf", "SUSPENDED", 20000))
      << m_server->Pactl("list short sinks");
  ASSERT_EQ(MeasureThroughTheHighPass(), SequenceStatus::kComplete) << m_messages.All();
  EXPECT_TRUE(m_messages.Messages().empty()) << m_messages.All();
  ASSERT_NO_FATAL_FAILURE(ExpectTheHighPassCurve());
}

// The server is stopped for 0.3 s (SIGSTOP, then SIGCONT) early, halfway and late in the
// sweep: the sink plays a gap, or (PipeWire) goes on where it stopped and never delivers that
// time's frames. Each measurement ends with the dropout message, or, where the server caught up
// with everything it held, with a right curve: never with a wrong one.
TEST_P(ServerMeasurementTest, AServerStoppedForAMomentNeverLeavesAWrongCurve) {
  ASSERT_NO_FATAL_FAILURE(StartServer());
  if (IsSkipped()) return;
  for (const int point : {100, 500, 850}) {
    SCOPED_TRACE("stopped at point " + std::to_string(point));
    bool frozen = false;
    auto poll = [&] {
      if (!frozen && Sequence().PointsAdded() >= point) {
        m_server->Freeze(300);
        frozen = true;
      }
    };
    SequenceStatus outcome = SequenceStatus::kFailed;
    // A measurement that a busy machine's dropout ended before the stop is started again.
    for (int attempt = 0; attempt < kAttempts && !frozen; ++attempt) {
      m_messages.Clear();
      Graph().ClearCurve();
      outcome = RunMeasurement(Sequence(), Request(m_highPassOutput), poll);
    }
    ASSERT_TRUE(frozen) << m_messages.All();
    if (outcome == SequenceStatus::kComplete) {
      EXPECT_TRUE(m_messages.Messages().empty()) << m_messages.All();
      ASSERT_NO_FATAL_FAILURE(ExpectTheHighPassCurve());
      RecordProperty("completedAfterStopAtPoint" + std::to_string(point), 1);
      continue;
    }
    EXPECT_EQ(outcome, SequenceStatus::kFailed);
    const std::vector<std::string> shown = m_messages.Messages();
    ASSERT_EQ(shown.size(), 1u) << m_messages.All();
    EXPECT_EQ(shown[0].rfind(kDropoutMessage, 0), 0u) << shown[0];
    EXPECT_LT(Graph().m_count.load(), 1001);
    EXPECT_FALSE(Audio().IsCaptureThreadRunning());
    EXPECT_FALSE(Audio().IsOutputOpen());
  }
}

TEST_P(ServerMeasurementTest, AServerKilledDuringTheSweepEndsTheMeasurementWithAFailure) {
  ASSERT_NO_FATAL_FAILURE(StartServer());
  if (IsSkipped()) return;
  // The user-interface thread's poll kills the server once the curve has begun.
  Clock::time_point killedAt;
  bool killed = false;
  auto poll = [&] {
    if (!killed && Sequence().PointsAdded() >= 50) {
      m_server->Kill();
      killedAt = Clock::now();
      killed = true;
    }
  };
  Graph().ClearCurve();
  const SequenceStatus outcome = RunMeasurement(Sequence(), Request(m_nullOutput), poll);
  const Clock::time_point ended = Clock::now();
  ASSERT_TRUE(killed) << m_messages.All();
  EXPECT_EQ(outcome, SequenceStatus::kFailed);
  const auto endedAfterMs =
      std::chrono::duration_cast<std::chrono::milliseconds>(ended - killedAt).count();
  EXPECT_LT(endedAfterMs, kEndAfterLossBoundMs);
  RecordProperty("endedAfterLossMs", static_cast<int>(endedAfterMs));
  // One message tells the user which device stopped, and why in plain words.
  const std::vector<std::string> shown = m_messages.Messages();
  ASSERT_EQ(shown.size(), 1u) << m_messages.All();
  EXPECT_NE(shown[0].find("stopped during the measurement"), std::string::npos) << shown[0];
  EXPECT_NE(shown[0].find("\nThe audio server connection was lost."), std::string::npos)
      << shown[0];
  EXPECT_LT(Graph().m_count.load(), 1001);
  // Every thread has ended and both devices are closed.
  EXPECT_FALSE(Audio().IsCaptureThreadRunning());
  EXPECT_FALSE(Audio().IsPlayThreadRunning());
  EXPECT_FALSE(Audio().IsOutputOpen());
  EXPECT_EQ(m_core->Shared().m_bInputOpen.load(), 0);
}

// The chosen output's sink is removed in the middle of the sweep: the measurement ends with the
// output's failure, and the output is really given back, so the next start opens another sink
// instead of being told the device is still allocated.
TEST_P(ServerMeasurementTest, AfterItsSinkWasRemovedTheNextStartOpensAnotherOutput) {
  ASSERT_NO_FATAL_FAILURE(StartServer());
  if (IsSkipped()) return;
  // The module that made the second sink.
  std::string module;
  {
    std::stringstream modules(m_server->Pactl("list short modules"));
    std::string line;
    while (std::getline(modules, line)) {
      if (line.find("sink_name=quorvel_second") != std::string::npos) {
        module = line.substr(0, line.find('\t'));
      }
    }
  }
  ASSERT_FALSE(module.empty());

  // Once the second sink plays the sweep, its module is unloaded.
  bool removed = false;
  auto poll = [&] {
    if (!removed && Sequence().Waiting() == MeasurementWait::kNone &&
        Audio().Counters().sweepPos > 3 * 48000) {
      int status = -1;
      m_server->Pactl("unload-module " + module, &status);
      removed = status == 0;
    }
  };
  Graph().ClearCurve();
  EXPECT_EQ(RunMeasurement(Sequence(), Request(m_secondOutput), poll), SequenceStatus::kFailed);
  ASSERT_TRUE(removed) << m_messages.All();
  ASSERT_EQ(m_messages.Messages(),
            std::vector<std::string>{std::string(kMsgOutputStopped) + "\nThe device was removed."});
  EXPECT_FALSE(Audio().IsOutputOpen());
  EXPECT_FALSE(Audio().IsPlayThreadRunning());

  // The next start, on the sink that is still there, opens it and plays.
  ASSERT_GT(Audio().GenerateSweep(20.0, 20000.0), 0);
  ASSERT_TRUE(Sequence().StartPlayback(m_nullOutput)) << m_messages.All();
  EXPECT_EQ(m_messages.Messages().size(), 1u) << m_messages.All();
  Audio().SetSweepPlaying(true);
  // The sink takes the sweep: more than a second of it is queued and given back.
  const auto deadline = Clock::now() + std::chrono::seconds(30);
  while (Audio().Counters().sweepPos < 2 * 48000 && Clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_GE(Audio().Counters().sweepPos, 2 * 48000);
  Sequence().DeferPlaybackStop();
  EXPECT_TRUE(Audio().WaitPlaybackStopped(5000));
  EXPECT_FALSE(Audio().IsOutputOpen());
}

INSTANTIATE_TEST_SUITE_P(Servers, ServerMeasurementTest, testing::ValuesIn(kTestServerNames),
                         [](const testing::TestParamInfo<const char*>& param) {
                           return std::string(param.param);
                         });

}  // namespace

}  // namespace quorvel

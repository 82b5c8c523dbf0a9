// Whole measurements on a private PulseAudio server: the sweep is played into the null sink and
// recorded from its monitor, so the measured response is that of a perfect loudspeaker; and a
// server that dies in the middle of the sweep ends the measurement with a failure, at once.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "base/shared_state.h"
#include "control/measurement_sequence.h"
#include "engine/audio_engine.h"
#include "graph/graphical.h"
#include "tests/audio/pulse/pulse_test_server.h"
#include "tests/control/control_test_support.h"

namespace quorvel {

namespace {

using Clock = std::chrono::steady_clock;

// Index of the null sink's monitor in the engine's input list (the microphone comes first),
// and of the null sink in its output list.
constexpr int kNullMonitorInput = 1;
constexpr int kNullSinkOutput = 0;
constexpr int kSecondSinkOutput = 1;

// The whole sweep lasts about 22 s; on a loaded machine the null sink may run slower than
// real time, so the measurement is given far longer. [ms on the devices' clock]
constexpr uint32_t kMeasurementLimitMs = 180000;

// After the server dies, the measurement must have ended within this; the loss is seen at
// once, and the bound only tells a hang from a slow machine. [ms]
constexpr int kEndAfterLossBoundMs = 4000;

// Point k of a curve from fmin to fmax lies at fmin * (fmax / fmin)^(k / 1000).
int PointAt(double frequencyHz, double fmin, double fmax) {
  return static_cast<int>(std::ceil(1000.0 * std::log(frequencyHz / fmin) / std::log(fmax / fmin)));
}

class PulseMeasurementTest : public PulseServerTest {
 protected:
  void SetUp() override {
    PulseServerTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    m_pulse = m_services.get();
    m_core = std::make_unique<CQuorvelCore>(std::move(m_services), m_preferences, m_messages);
    m_audio = &m_core->Audio();
    m_graph = &m_core->Graph();
    m_sequence = &m_core->Sequence();

    // The device lists, as the core filled them at its start.
    ASSERT_EQ(m_core->InputListResult(), 0);
    ASSERT_EQ(m_audio->m_inputCount, 3);
    ASSERT_STREQ(m_audio->m_inputNames[kNullMonitorInput], "Monitor of Quorvel Null Output");
    m_audio->m_outputCount = m_audio->EnumerateOutputDevices();
    ASSERT_EQ(m_audio->m_outputCount, 3);
    ASSERT_STREQ(m_audio->m_outputNames[kNullSinkOutput], "Quorvel Null Output");
    m_graph->ClearCurve();
    WarmUpNullSink();
  }

  // Keeps the null sink at a short latency and waits until it takes buffers promptly, so the
  // measurement starts at once rather than after the idle sink's two seconds.
  void WarmUpNullSink() {
    if (!m_server.KeepNullSinkBusy()) return;  // without pacat the start is only slower
    ASSERT_EQ(m_pulse->OpenOutput(kNullSinkOutput, EnginePlayFormat(), &IgnoreNotice, nullptr), 0);
    // 341 ms of silence, more than the server takes at once: the last buffer is done only once
    // the sink really plays.
    std::vector<char> silence(128 * 512, 0);
    std::vector<PlayHeader> headers(128);
    for (size_t i = 0; i < headers.size(); ++i) {
      headers[i].data = silence.data() + i * 512;
      headers[i].length = 512;
      ASSERT_EQ(m_pulse->PrepareHeader(&headers[i]), 0);
      ASSERT_EQ(m_pulse->QueueBuffer(&headers[i]), 0);
    }
    const auto deadline = Clock::now() + std::chrono::seconds(15);
    while ((headers.back().flags.load() & kHeaderDone) == 0 && Clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_EQ(m_pulse->CloseOutput(), 0);
  }

  static void IgnoreNotice(void*, OutputNotice) {}

  void TearDown() override {
    m_core.reset();  // the engine and the services go before the server
    PulseServerTest::TearDown();
  }

  CMemoryPreferences m_preferences;
  CRecordingMessages m_messages;
  CPulseAudioServices* m_pulse = nullptr;  // the core's
  std::unique_ptr<CQuorvelCore> m_core;
  CAudio* m_audio = nullptr;
  CGraphical* m_graph = nullptr;
  CMeasurementSequence* m_sequence = nullptr;
};

}  // namespace

TEST_F(PulseMeasurementTest, TheNullSinkMeasuresFlat) {
  MeasurementRequest request;
  request.inputIndex = kNullMonitorInput;
  request.outputIndex = kNullSinkOutput;
  request.fmin = 20.0;
  request.fmax = 20000.0;
  // 1.33 x 0.5: the recorded sweep stays below full scale, so no block is clipped flat.
  request.gainDb = -6.0;
  request.timeoutMs = kMeasurementLimitMs;
  const SequenceStatus outcome = RunMeasurement(*m_sequence, request);
  ASSERT_EQ(outcome, SequenceStatus::kComplete) << m_messages.All();
  EXPECT_TRUE(m_messages.Messages().empty()) << m_messages.All();
  ASSERT_EQ(m_graph->m_count.load(), 1001);
  EXPECT_EQ(m_core->Shared().m_bInputOpen.load(), 0);
  EXPECT_EQ(m_audio->m_hWaveOut.load(), 0);

  // Between 100 Hz and 15 kHz every point lies within 0.5 dB of the median.
  const int first = PointAt(100.0, request.fmin, request.fmax);
  const int last = PointAt(15000.0, request.fmin, request.fmax) - 1;
  std::vector<double> levels;
  for (int k = first; k <= last; ++k) levels.push_back(m_graph->m_points[k].load());
  std::vector<double> sorted = levels;
  std::nth_element(sorted.begin(), sorted.begin() + static_cast<long>(sorted.size() / 2),
                   sorted.end());
  const double median = sorted[sorted.size() / 2];
  // The sweep is played near full scale; what the monitor gives back is far above the floor.
  EXPECT_GT(median, -20.0);
  for (size_t i = 0; i < levels.size(); ++i) {
    EXPECT_NEAR(levels[i], median, 0.5) << "point " << first + static_cast<int>(i);
  }
}

TEST_F(PulseMeasurementTest, AServerKilledDuringTheSweepEndsTheMeasurementWithAFailure) {
  MeasurementRequest request;
  request.inputIndex = kNullMonitorInput;
  request.outputIndex = kNullSinkOutput;
  request.timeoutMs = kMeasurementLimitMs;
  // The user-interface thread's poll kills the server once the curve has begun.
  Clock::time_point killedAt;
  bool killed = false;
  auto poll = [&] {
    if (!killed && m_sequence->PointsAdded() >= 50) {
      m_server.Kill();
      killedAt = Clock::now();
      killed = true;
    }
  };
  const SequenceStatus outcome = RunMeasurement(*m_sequence, request, poll);
  const Clock::time_point ended = Clock::now();
  ASSERT_TRUE(killed) << m_messages.All();
  EXPECT_EQ(outcome, SequenceStatus::kFailed);
  const auto endedAfterMs =
      std::chrono::duration_cast<std::chrono::milliseconds>(ended - killedAt).count();
  EXPECT_LT(endedAfterMs, kEndAfterLossBoundMs);
  RecordProperty("endedAfterLossMs", static_cast<int>(endedAfterMs));
  // One message tells the user which device stopped.
  ASSERT_FALSE(m_messages.Messages().empty());
  EXPECT_TRUE(m_messages.Messages()[0].find("stopped during the measurement") != std::string::npos)
      << m_messages.All();
  EXPECT_LT(m_graph->m_count.load(), 1001);
  // Every thread has ended and both devices are closed.
  EXPECT_EQ(m_audio->m_hCaptureThread.load(), 0);
  EXPECT_EQ(m_audio->m_hPlayThread.load(), 0);
  EXPECT_EQ(m_audio->m_hWaveOut.load(), 0);
  EXPECT_EQ(m_core->Shared().m_bInputOpen.load(), 0);
}

// The chosen output's sink is removed in the middle of the sweep: the measurement ends with the
// output's failure, and the output is really given back, so the next start opens another sink
// instead of being told the device is still allocated.
TEST_F(PulseMeasurementTest, AfterItsSinkWasRemovedTheNextStartOpensAnotherOutput) {
  // The module that made the second sink.
  std::string module;
  {
    std::stringstream modules(m_server.Pactl("list short modules"));
    std::string line;
    while (std::getline(modules, line)) {
      if (line.find("sink_name=quorvel_second") != std::string::npos) {
        module = line.substr(0, line.find('\t'));
      }
    }
  }
  ASSERT_FALSE(module.empty());

  MeasurementRequest request;
  request.inputIndex = kNullMonitorInput;
  request.outputIndex = kSecondSinkOutput;
  request.timeoutMs = kMeasurementLimitMs;
  // Once the second sink has taken a second of the sweep, its module is unloaded.
  bool removed = false;
  auto poll = [&] {
    if (!removed && m_audio->m_sweepPos.load() > 48000) {
      int status = -1;
      m_server.Pactl("unload-module " + module, &status);
      removed = status == 0;
    }
  };
  EXPECT_EQ(RunMeasurement(*m_sequence, request, poll), SequenceStatus::kFailed);
  ASSERT_TRUE(removed) << m_messages.All();
  ASSERT_EQ(m_messages.Messages(), std::vector<std::string>{kMsgOutputStopped});
  EXPECT_EQ(m_audio->m_hWaveOut.load(), 0);
  EXPECT_EQ(m_audio->m_hPlayThread.load(), 0);

  // The next start, on the sink that is still there, opens it and plays.
  ASSERT_GT(m_audio->GenerateSweep(20.0, 20000.0), 0);
  m_audio->m_sweepPos.store(0);  // no play thread runs now
  ASSERT_EQ(m_sequence->StartPlayback(kNullSinkOutput), 1) << m_messages.All();
  EXPECT_EQ(m_messages.Messages().size(), 1u) << m_messages.All();
  m_audio->m_sweepPlaying.store(1);
  // The sink takes the sweep: more than a second of it is queued and given back.
  const auto deadline = Clock::now() + std::chrono::seconds(30);
  while (m_audio->m_sweepPos.load() < 2 * 48000 && Clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_GE(m_audio->m_sweepPos.load(), 2 * 48000);
  m_sequence->DeferPlaybackStop();
  EXPECT_TRUE(m_audio->WaitPlaybackStopped(5000));
  EXPECT_EQ(m_audio->m_hWaveOut.load(), 0);
}

}  // namespace quorvel

#pragma once

// Helpers of the control tests: a core on the simulated loudspeaker, and running the measurement
// sequence's steps to the end the way quorvel-cli does.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <span>
#include <thread>
#include <utility>
#include <vector>

#include "audio/sim/simulated_services.h"
#include "base/memory_preferences.h"
#include "control/quorvel_core.h"
#include "control/run/measurement_sequence.h"
#include "tests/audio/audio_test_support.h"
#include "tests/base/scripted_messages.h"

namespace quorvel {

// Ticks a started run every 10 ms until it ends, with `poll` between the ticks, then finishes it.
inline SequenceStatus RunToEnd(CMeasurementSequence& sequence,
                               const std::function<void()>& poll = {}) {
  while (sequence.Tick() == SequenceStatus::kRunning) {
    if (poll) poll();
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return sequence.Finish();
}

// A whole measurement: Start, the ticks, Finish.
inline SequenceStatus RunMeasurement(CMeasurementSequence& sequence,
                                     const MeasurementRequest& request,
                                     const std::function<void()>& poll = {}) {
  if (!sequence.Start(request)) return sequence.Finish();
  return RunToEnd(sequence, poll);
}

// The tests run the simulated devices ten times faster than real time, so the play thread has
// 34 ms instead of 341 ms to refill the output queue. On a machine busy with other real-time
// work it can miss that: the sweep then has a real dropout, which the sequence reports as it
// should. A measurement a test expects to complete is repeated then, at most `attempts` times in
// all; any other ending is returned at once. `before` runs before every attempt (clear the
// curve).
inline SequenceStatus MeasureAllowingDropouts(
    CMeasurementSequence& sequence, CScriptedMessages& messages, const MeasurementRequest& request,
    const std::function<void()>& before, const std::function<void()>& poll = {}, int attempts = 3) {
  SequenceStatus status = SequenceStatus::kFailed;
  for (int attempt = 0; attempt < attempts; ++attempt) {
    messages.Clear();
    if (before) before();
    status = RunMeasurement(sequence, request, poll);
    const std::vector<std::string> shown = messages.Messages();
    const bool dropout = status == SequenceStatus::kFailed && shown.size() == 1 &&
                         shown[0].rfind("The measurement was interrupted by a dropout", 0) == 0;
    if (!dropout) break;
  }
  return status;
}

// A whole replay of the engine's loaded samples.
inline SequenceStatus RunReplay(CMeasurementSequence& sequence, int outputIndex, uint32_t timeoutMs,
                                const std::function<void()>& poll = {}) {
  if (!sequence.StartReplay(outputIndex, timeoutMs)) return sequence.Finish();
  return RunToEnd(sequence, poll);
}

// A core on the simulated loudspeaker running at the test clock; `sim` stays the core's.
struct SimulatedCore {
  explicit SimulatedCore(SimulatedAudioOptions options = {}) {
    options.clockFactor = TestClockFactor();
    auto services = std::make_unique<CSimulatedAudioServices>(options);
    sim = services.get();
    core = std::make_unique<CQuorvelCore>(std::move(services), preferences, messages);
  }
  CAudio& Audio() { return core->Audio(); }
  CGraphical& Graph() { return core->Graph(); }
  CSharedState& Shared() { return core->Shared(); }
  CMeasurementSequence& Sequence() { return core->Sequence(); }
  // The stored curve, point by point.
  std::vector<double> Curve() {
    std::vector<double> points;
    for (int k = 0; k < Graph().m_count.load(); ++k) points.push_back(Graph().m_points[k].load());
    return points;
  }

  CMemoryPreferences preferences;
  CScriptedMessages messages;
  CSimulatedAudioServices* sim = nullptr;
  std::unique_ptr<CQuorvelCore> core;
};

// Hands the finished recording (at the start of the record track) to the engine as loaded
// samples, as Load Audio File would after a save: a heap block the engine frees.
inline void LoadRecordingAsSamples(CAudio& audio) {
  const std::span<const int16_t> recording = audio.Recording();
  ASSERT_FALSE(recording.empty());
  LoadedSamples samples(static_cast<int16_t*>(std::malloc(recording.size_bytes())));
  ASSERT_NE(samples, nullptr);
  std::memcpy(samples.get(), recording.data(), recording.size_bytes());
  audio.LoadSamples(std::move(samples), static_cast<int32_t>(recording.size()));
}

}  // namespace quorvel

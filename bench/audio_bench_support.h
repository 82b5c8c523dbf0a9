#pragma once

#include <benchmark/benchmark.h>
#include <pthread.h>

#include <chrono>
#include <ctime>
#include <memory>
#include <string>
#include <thread>

#include "audio/sim/simulated_services.h"
#include "base/memory_preferences.h"
#include "base/shared_state.h"
#include "base/user_messages.h"
#include "control/quorvel_core.h"
#include "engine/audio_engine.h"
#include "graph/graphical.h"
#include "tests/base/scripted_messages.h"
#include "tests/engine/engine_probe.h"

namespace quorvel {

// CPU use of the capture and play threads over the sweep of one measurement.
struct MeasurementCpu {
  bool complete = false;
  double capturePercent = 0.0;  // of one core, over the devices' time (sweep time at 1 x)
  double playPercent = 0.0;
  double maxCaptureLatencyMs = 0.0;
};

inline double ThreadCpuSeconds(std::thread& thread) {
  clockid_t clock{};
  if (!thread.joinable() || pthread_getcpuclockid(thread.native_handle(), &clock) != 0) return -1;
  timespec ts{};
  clock_gettime(clock, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

// One measurement on the simulated loudspeaker with the clock `factor` x real time. The thread
// CPU clocks are read at the sync and at the 1001st point (from the measurement's poll); the
// percentages are CPU seconds over the simulated seconds between the two readings.
inline MeasurementCpu RunMeasurementForCpu(double factor) {
  SimulatedAudioOptions options;
  options.clockFactor = factor;
  auto services = std::make_unique<CSimulatedAudioServices>(options);
  CSimulatedAudioServices* sim = services.get();
  CMemoryPreferences preferences;
  CScriptedMessages messages;
  CQuorvelCore core(std::move(services), preferences, messages);
  CAudio* audio = &core.Audio();
  CGraphical* graph = &core.Graph();
  CMeasurementSequence* sequence = &core.Sequence();

  double capture0 = -1, play0 = -1, capture1 = -1, play1 = -1;
  uint64_t frames0 = 0, frames1 = 0;
  auto poll = [&]() {
    if (capture0 < 0 && audio->Counters().synced) {
      capture0 = ThreadCpuSeconds(CAudioProbe::CaptureThread(*audio));
      play0 = ThreadCpuSeconds(CAudioProbe::PlayThread(*audio));
      frames0 = sim->DeviceFrames();
      sim->ResetCaptureLatency();  // from here on: the steady polling, not the first wait
    }
    if (capture0 >= 0 && graph->m_count.load() < 1001) {
      capture1 = ThreadCpuSeconds(CAudioProbe::CaptureThread(*audio));
      play1 = ThreadCpuSeconds(CAudioProbe::PlayThread(*audio));
      frames1 = sim->DeviceFrames();
    }
  };
  graph->ClearCurve();
  MeasurementRequest request;
  request.timeoutMs = 60000;
  MeasurementCpu result;
  // quorvel-cli's loop: a step every 10 ms, the readings between them.
  SequenceStatus status = SequenceStatus::kFailed;
  if (sequence->Start(request)) {
    while (sequence->Tick() == SequenceStatus::kRunning) {
      poll();
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  }
  status = sequence->Finish();
  result.complete = status == SequenceStatus::kComplete;
  const double deviceSeconds = static_cast<double>(frames1 - frames0) / 48000.0;
  if (capture0 >= 0 && capture1 >= 0 && deviceSeconds > 0) {
    // CPU per second of sound, scaled to real time: at factor x the same work runs in 1/x of
    // the wall time.
    result.capturePercent = 100.0 * (capture1 - capture0) / deviceSeconds;
    result.playPercent = 100.0 * (play1 - play0) / deviceSeconds;
  }
  result.maxCaptureLatencyMs = static_cast<double>(sim->MaxCaptureLatencyNs()) / 1e6;
  return result;
}

// The body of a thread-CPU benchmark: one measurement at `factor` times real time per
// iteration, its figures reported as counters.
inline void ReportMeasurementCpu(benchmark::State& state, double factor) {
  for (auto _ : state) {
    const MeasurementCpu cpu = RunMeasurementForCpu(factor);
    if (!cpu.complete) {
      state.SkipWithError("the measurement did not complete");
      break;
    }
    state.counters["capture_cpu_pct"] = cpu.capturePercent;
    state.counters["play_cpu_pct"] = cpu.playPercent;
    state.counters["max_capture_latency_ms"] = cpu.maxCaptureLatencyMs;
  }
}

}  // namespace quorvel

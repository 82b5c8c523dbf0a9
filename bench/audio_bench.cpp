// Audio devices: the latency from the last frame of an analysis block to the curve listener,
// and the CPU time of the capture and play threads during a measurement on the simulated
// loudspeaker (fast clock here; audio_realtime_bench.cpp runs one at real time).
#include <benchmark/benchmark.h>
#include <pthread.h>

#include <chrono>
#include <cstdint>
#include <ctime>
#include <memory>
#include <string>

#include "audio/sim/simulated_services.h"
#include "bench/audio_bench_support.h"
#include "control/run/measurement_sequence.h"
#include "engine/audio_engine.h"
#include "engine/curve_listener.h"

namespace quorvel {

namespace {

// Takes the time of every AddPoint call.
class CTimingListener : public ICurveListener {
 public:
  bool AddPoint(double) override {
    m_at = std::chrono::steady_clock::now();
    ++m_points;
    return false;
  }
  std::chrono::steady_clock::time_point m_at{};
  int m_points = 0;
};

// From the PushFrame call of a block's last frame to the listener's AddPoint call, once the
// curve is being measured (the generated signal fed back as a perfect loopback).
void BM_LastFrameToAddPoint(benchmark::State& state) {
  auto audio = std::make_unique<CAudio>();
  CTimingListener listener;
  audio->SetCurveListener(&listener);
  const int length = audio->GenerateSweep(20, 20000);
  audio->ResetAnalysis();
  audio->SetSweepPlaying(true);
  int pos = 0;
  auto push = [&]() {
    const int32_t sample = audio->Sweep()[pos] * 65536;
    audio->PushFrame(sample, sample);
    if (++pos == length) pos = 0;
  };
  // Until the points flow, then align on a block boundary.
  while (listener.m_points == 0) push();
  for (auto _ : state) {
    for (int i = 0; i < CAudio::kBlockLength - 1; ++i) push();
    const int before = listener.m_points;
    const auto start = std::chrono::steady_clock::now();
    push();
    if (listener.m_points != before + 1) {
      state.SkipWithError("the block did not end with a point");
      break;
    }
    state.SetIterationTime(std::chrono::duration<double>(listener.m_at - start).count());
  }
}
BENCHMARK(BM_LastFrameToAddPoint)->UseManualTime()->Unit(benchmark::kMicrosecond);

// One measurement on the simulated loudspeaker at 10 x real time: CPU of the capture and play
// threads relative to the sweep's own duration, and the largest delay between a frame's
// recording and the capture thread taking it.
void BM_MeasurementThreadsFastClock(benchmark::State& state) {
  ReportMeasurementCpu(state, 10.0);
}
BENCHMARK(BM_MeasurementThreadsFastClock)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

}  // namespace quorvel

BENCHMARK_MAIN();

// One measurement on the simulated loudspeaker at real time (about 22 s): CPU of the capture
// and play threads over the sweep, as a share of one core.
#include <benchmark/benchmark.h>

#include "bench/audio_bench_support.h"

namespace {

void BM_MeasurementThreadsRealTime(benchmark::State& state) {
  for (auto _ : state) {
    const MeasurementCpu cpu = RunMeasurementForCpu(1.0);
    if (!cpu.complete) {
      state.SkipWithError("the measurement did not complete");
      break;
    }
    state.counters["capture_cpu_pct"] = cpu.capturePercent;
    state.counters["play_cpu_pct"] = cpu.playPercent;
    state.counters["max_capture_latency_ms"] = cpu.maxCaptureLatencyMs;
  }
}
BENCHMARK(BM_MeasurementThreadsRealTime)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace

BENCHMARK_MAIN();

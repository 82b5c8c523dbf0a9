// One measurement on the simulated loudspeaker at real time (about 22 s): CPU of the capture
// and play threads over the sweep, as a share of one core.
#include <benchmark/benchmark.h>

#include "bench/audio_bench_support.h"

namespace quorvel {

namespace {

void BM_MeasurementThreadsRealTime(benchmark::State& state) {
  ReportMeasurementCpu(state, 1.0);
}
BENCHMARK(BM_MeasurementThreadsRealTime)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace

}  // namespace quorvel

BENCHMARK_MAIN();

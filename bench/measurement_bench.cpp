// How long averaging 16 traces takes: simulated takes of the built-in loudspeaker over
// 20 Hz - 20 kHz (480 frequencies each) at 16 angles and delays, averaged each way over their
// common range, and the overlay CSV of all 16.
#include <benchmark/benchmark.h>

#include <vector>

#include "audio/sim/loudspeaker_model.h"
#include "measurement/trace_average.h"
#include "measurement/trace_export.h"
#include "tests/measurement/take_support.h"

namespace quorvel {

namespace {

constexpr int kTraces = 16;

const std::vector<Trace>& Takes() {
  static const std::vector<Trace> traces = [] {
    std::vector<Trace> made;
    for (int i = 0; i < kTraces; ++i) {
      const double angle = 3.0 * i;
      made.push_back(takes::Take(
          "take " + std::to_string(i),
          [angle](double f) { return CLoudspeakerModel::Transfer(f, angle); }, 7.3 * i));
    }
    return made;
  }();
  return traces;
}

void Average(benchmark::State& state, AverageWay way, int smoothing) {
  const std::vector<Trace>& traces = Takes();
  for (auto _ : state) {
    Result<Trace> mean = AverageTraces(traces, way, {.smoothingBands = smoothing});
    if (!mean.Ok()) state.SkipWithError(mean.Message().c_str());
    benchmark::DoNotOptimize(mean);
  }
}

void BM_DbMeanOf16(benchmark::State& state) {
  Average(state, AverageWay::kDbMean, 6);
}
void BM_PowerMeanOf16(benchmark::State& state) {
  Average(state, AverageWay::kPowerMean, 6);
}
void BM_VectorMeanOf16(benchmark::State& state) {
  Average(state, AverageWay::kVectorMean, 0);
}
BENCHMARK(BM_DbMeanOf16)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PowerMeanOf16)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_VectorMeanOf16)->Unit(benchmark::kMillisecond);

void BM_OverlayCsvOf16(benchmark::State& state) {
  const std::vector<Trace>& traces = Takes();
  for (auto _ : state) benchmark::DoNotOptimize(FormatOverlayCsv(traces));
}
BENCHMARK(BM_OverlayCsvOf16)->Unit(benchmark::kMillisecond);

}  // namespace

}  // namespace quorvel

BENCHMARK_MAIN();

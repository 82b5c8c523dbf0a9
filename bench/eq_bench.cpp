// The equaliser's fit of up to 10 peaking filters and two shelves to a room with known peaks,
// dips and a null, every 1/48 octave from 20 Hz to 20 kHz: cut only, and with 6 dB of boost.
// quorvel-cli eq has 1 s for everything; the fit should take a small part of it.
#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "eq/eq_fit.h"

namespace {

using quorvel::EqFilter;
using T = quorvel::EqFilterType;

quorvel::EqTrace Room() {
  const std::vector<EqFilter> room = {{T::kPeaking, 45.0, 8.0, 5.0},
                                      {T::kPeaking, 110.0, 6.0, 3.0},
                                      {T::kPeaking, 300.0, 5.0, 2.0},
                                      {T::kPeaking, 1200.0, 4.0, 1.5},
                                      {T::kPeaking, 4000.0, 3.5, 2.0},
                                      {T::kPeaking, 70.0, -5.0, 3.0},
                                      {T::kPeaking, 2500.0, -4.0, 1.5},
                                      {T::kPeaking, 700.0, -25.0, 12.0},
                                      {T::kLowShelf, 60.0, 3.0, quorvel::kShelfQ},
                                      {T::kHighShelf, 6000.0, -3.0, quorvel::kShelfQ}};
  quorvel::EqTrace trace;
  for (int k = 0; k <= 480; ++k) {
    trace.frequenciesHz.push_back(20.0 * std::pow(1000.0, k / 480.0));
    trace.levelsDb.push_back(quorvel::CascadeGainDb(room, trace.frequenciesHz.back()));
  }
  return trace;
}

void BM_FitTenFilters(benchmark::State& state) {
  const quorvel::EqTrace trace = Room();
  quorvel::EqFitOptions options;
  options.maxBoostDb = static_cast<double>(state.range(0));
  for (auto _ : state) {
    quorvel::EqFitResult result = quorvel::FitEqualiser(trace, quorvel::EqTarget{}, options);
    benchmark::DoNotOptimize(result);
  }
}
BENCHMARK(BM_FitTenFilters)->Arg(0)->Arg(6)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();

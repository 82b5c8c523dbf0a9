// Traces over different ranges: combined over the range they share, refused where none is.
#include "measurement/trace_range.h"

#include <gtest/gtest.h>

#include "measurement/trace_average.h"
#include "tests/measurement/take_support.h"

namespace quorvel {
namespace {

double Tilt(double f) {
  return 10.0 * std::log10(f / 1000.0);
}

TEST(TraceRange, TracesCombineOverTheirCommonRangeAndRangesWithoutOverlapAreRefused) {
  const struct {
    std::vector<TraceRange> ranges;
    double fmin, fmax;     // asked for; 0: the common range
    const char* expected;  // the range combined over, or the refusal
  } cases[] = {
      {{{20, 20000}, {100, 5000}}, 0, 0, "100-5000 Hz"},
      {{{20, 20000}, {31.5, 16000}, {25, 18000}}, 0, 0, "31.5-16000 Hz"},
      {{{20, 20000}, {20, 20000}}, 200, 10000, "200-10000 Hz"},
      {{{20, 200}, {1000, 20000}},
       0,
       0,
       "The traces have no frequency range in common: t1 covers 1000-20000 Hz, t0 20-200 Hz"},
      {{{20, 1000}, {1000, 20000}},
       0,
       0,
       "The traces have no frequency range in common: t1 covers 1000-20000 Hz, t0 20-1000 Hz"},
      {{{20, 20000}, {50, 5000}},
       30,
       10000,
       "The range asked for, 30-10000 Hz, does not lie within the traces' common range, "
       "50-5000 Hz"},
  };
  for (const auto& c : cases) {
    std::vector<Trace> traces;
    for (const TraceRange r : c.ranges) {
      traces.push_back(takes::Curve("t" + std::to_string(traces.size()), r.fminHz, r.fmaxHz, Tilt));
    }
    const Result<TraceRange> range = CommonRange(traces, c.fmin, c.fmax);
    const Result<Trace> mean =
        AverageTraces(traces, AverageWay::kPowerMean, {.fminHz = c.fmin, .fmaxHz = c.fmax});
    EXPECT_EQ(range.Ok() ? RangeText(*range) : range.Message(), c.expected);
    ASSERT_EQ(mean.Ok(), range.Ok());
    if (!mean.Ok()) {
      EXPECT_EQ(mean.Message(), c.expected);
      continue;
    }
    const std::vector<double> grid = FrdFrequencies(range->fminHz, range->fmaxHz);
    ASSERT_EQ(mean->frequenciesHz, grid);
    for (std::size_t k = 0; k < grid.size(); ++k) {
      ASSERT_NEAR(mean->levelsDb[k], Tilt(grid[k]), 1e-6) << grid[k];
    }
  }
  const std::vector<Trace> one = {takes::Curve("one", 20, 20000, Tilt)};
  EXPECT_EQ(AverageTraces(one, AverageWay::kDbMean, {}).Message(),
            "An average needs two or more traces");
}

}  // namespace
}  // namespace quorvel

// Traces over different ranges: combined over the range they share, refused where none is.
#include "measurement/trace_range.h"

#include <gtest/gtest.h>

#include "base/number_text.h"
#include "measurement/trace_average.h"
#include "measurement/trace_export.h"
#include "tests/measurement/take_support.h"

namespace quorvel {
namespace {

double Tilt(double f) {
  return 10.0 * std::log10(f / 1000.0);
}

TEST(TraceRange, TracesCombineOverTheirCommonRangeAndRangesWithoutOverlapAreRefused) {
  struct Case {
    std::vector<TraceRange> ranges;
    double fmin, fmax;    // asked for; 0: the common range
    TraceRange common;    // when combined
    const char* refusal;  // when refused
  };
  const Case cases[] = {
      {{{20, 20000}, {100, 5000}}, 0, 0, {100, 5000}, nullptr},
      {{{20, 20000}, {31.5, 16000}, {25, 18000}}, 0, 0, {31.5, 16000}, nullptr},
      {{{20, 20000}, {20, 20000}}, 200, 10000, {200, 10000}, nullptr},
      {{{20, 200}, {1000, 20000}},
       0,
       0,
       {},
       "The traces have no frequency range in common: t1 covers 1000-20000 Hz, t0 20-200 Hz"},
      {{{20, 1000}, {1000, 20000}},
       0,
       0,
       {},
       "The traces have no frequency range in common: t1 covers 1000-20000 Hz, t0 20-1000 Hz"},
      {{{20, 20000}, {50, 5000}},
       30,
       10000,
       {},
       "The range asked for, 30-10000 Hz, does not lie within the traces' common range, "
       "50-5000 Hz"},
  };
  for (const Case& c : cases) {
    std::vector<Trace> traces;
    for (const TraceRange r : c.ranges) {
      traces.push_back(takes::Curve("t" + std::to_string(traces.size()), r.fminHz, r.fmaxHz, Tilt));
    }
    const OrMessage<TraceRange> range = CommonRange(traces, c.fmin, c.fmax);
    const OrMessage<Trace> mean =
        AverageTraces(traces, AverageWay::kPowerMean, {.fminHz = c.fmin, .fmaxHz = c.fmax});
    if (c.refusal != nullptr) {
      ASSERT_FALSE(range.Ok());
      EXPECT_EQ(range.Message(), c.refusal);
      ASSERT_FALSE(mean.Ok());
      EXPECT_EQ(mean.Message(), c.refusal);
      continue;
    }
    ASSERT_TRUE(range.Ok()) << range.Message();
    EXPECT_EQ(range.Value().fminHz, c.common.fminHz);
    EXPECT_EQ(range.Value().fmaxHz, c.common.fmaxHz);
    ASSERT_TRUE(mean.Ok());
    const std::vector<double> grid = FrdFrequencies(c.common.fminHz, c.common.fmaxHz);
    ASSERT_EQ(mean.Value().frequenciesHz, grid);
    for (std::size_t k = 0; k < grid.size(); ++k) {
      ASSERT_NEAR(mean.Value().levelsDb[k], Tilt(grid[k]), 1e-6) << grid[k];
    }
    if (c.fmin > 0.0) continue;
    const OrMessage<std::string> csv = FormatOverlayCsv(traces);
    ASSERT_TRUE(csv.Ok());
    const std::string& text = csv.Value();
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), static_cast<long>(grid.size() + 1));
    const std::string first =
        text.substr(text.find('\n') + 1, text.find(',', text.find('\n')) - text.find('\n') - 1);
    EXPECT_EQ(first, FormatFixed(c.common.fminHz, 4));
  }
  EXPECT_EQ(AverageTraces(std::vector<Trace>{takes::Curve("one", 20, 20000, Tilt)},
                          AverageWay::kDbMean, {})
                .Message(),
            "An average needs two or more traces");
}

}  // namespace
}  // namespace quorvel

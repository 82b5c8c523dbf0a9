// The difference of two simulated takes: the transfer of what was changed between them.
#include "measurement/trace_difference.h"

#include <gtest/gtest.h>

#include "audio/sim/loudspeaker_model.h"
#include "tests/measurement/take_support.h"

namespace quorvel {
namespace {

// The loudspeaker before and after a filter, heard later, measured over another range.
TEST(TraceDifference, OfTwoTakesIsTheFilterBetweenThem) {
  const takes::Transfer speaker = [](double f) { return CLoudspeakerModel::Transfer(f); };
  const Trace before = takes::Take("before", speaker, 0.0);
  const struct {
    CBiquad filter;
    double delay, fmin, fmax;
  } cases[] = {
      {CBiquad::Peak(1000.0, 2.0, 6.0, takes::kRate), 0.0, 20.0, 20000.0},
      {CBiquad::Peak(4000.0, 4.0, -8.0, takes::kRate), 20.3, 20.0, 20000.0},
      {CBiquad::LowPass(5000.0, 0.7, takes::kRate), 3.0, 50.0, 12000.0},
  };
  for (const auto& c : cases) {
    const auto filtered = [&](double f) { return speaker(f) * c.filter.At(f, takes::kRate); };
    const Trace after = takes::Take("after", filtered, c.delay, c.fmin, c.fmax);
    const Result<Trace> difference = DifferenceOfTraces(after, before, {});
    ASSERT_TRUE(difference.Ok());
    const Trace& d = *difference;
    const auto exactDb = [&](double f) { return c.filter.MagnitudeDb(f, takes::kRate); };
    EXPECT_LE(takes::WorstDb(d, exactDb), 0.1) << c.filter.b0;
    EXPECT_EQ(d.name, "after - before");
    EXPECT_EQ(d.frequenciesHz, FrdFrequencies(c.fmin, c.fmax));
  }
}

}  // namespace
}  // namespace quorvel

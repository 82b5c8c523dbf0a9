// Averages of simulated takes (the built-in loudspeaker at several angles, with a room's
// reflection) against the exact averages of their transfers.
#include "measurement/trace_average.h"

#include <gtest/gtest.h>

#include "audio/sim/loudspeaker_model.h"
#include "tests/measurement/take_support.h"

namespace quorvel {
namespace {

using takes::Db;

// The loudspeaker heard angleDeg off axis, with a reflection `ms` after the direct sound.
takes::Transfer Position(double angleDeg, double reflection, double ms, double gain = 1.0) {
  return [=](double f) {
    return gain * CLoudspeakerModel::Transfer(f, angleDeg) *
           (1.0 + reflection * std::polar(1.0, -2.0 * takes::kPi * f * ms / 1000.0));
  };
}

// Positions around a listening area, and two takes at one position, the second at half the
// level and 37.4 samples later (the microphone 27 cm farther, or the devices slower).
TEST(TraceAverage, EachWayIsWithinAFifthOfADecibelOfTheExactAverage) {
  const takes::Transfer a = Position(0, 0.3, 2.5), b = Position(20, -0.25, 4),
                        c = Position(40, 0.4, 1.5);
  const std::vector<Trace> positions = {takes::Take("a", a, 0), takes::Take("b", b, 24.6),
                                        takes::Take("c", c, 61.3)};
  const takes::Transfer one = Position(10, 0.3, 3), half = Position(10, 0.3, 3, 0.5);
  const std::vector<Trace> repeated = {takes::Take("1", one, 0), takes::Take("2", half, 37.4)};
  // With loopback references the 37.4 samples are acoustic and stay in the mean. Both
  // recordings start at the same instant of the played signal, 168 samples before the first peak.
  std::vector<Trace> referenced = repeated;
  for (Trace& t : referenced) {
    const double peak = t.timing.peakPosition - repeated[0].timing.peakPosition + 168;
    t.timeReference = TimeReference{TimeReferenceKind::kLoopback, peak / 48};
  }
  const struct {
    AverageWay way;
    const std::vector<Trace>& traces;
    TraceAlignment alignment;
    std::function<double(double)> exactDb;
  } cases[] = {
      {AverageWay::kDbMean, positions, TraceAlignment::kNone,
       [&](double f) { return (Db(a(f)) + Db(b(f)) + Db(c(f))) / 3.0; }},
      {AverageWay::kPowerMean, positions, TraceAlignment::kNone,
       [&](double f) {
         return 10.0 * std::log10((std::norm(a(f)) + std::norm(b(f)) + std::norm(c(f))) / 3.0);
       }},
      {AverageWay::kVectorMean, repeated, TraceAlignment::kCrossCorrelation,
       [&](double f) { return Db(0.75 * one(f)); }},
      {AverageWay::kVectorMean, referenced, TraceAlignment::kTimeReferences,
       [&](double f) {
         return Db((one(f) + half(f) * std::polar(1.0, -2.0 * takes::kPi * f * 37.4 / 48000)) /
                   2.0);
       }},
  };
  for (const auto& row : cases) {
    const Result<Trace> mean = AverageTraces(row.traces, row.way, {});
    ASSERT_TRUE(mean.Ok());
    const Trace& t = *mean;
    const char* what = AverageWayName(row.way);
    EXPECT_LE(takes::WorstDb(t, row.exactDb), 0.2) << what;
    EXPECT_EQ(t.origin.sources.size(), row.traces.size()) << what;
    EXPECT_EQ(t.origin.alignment, row.alignment) << what;
    EXPECT_EQ(t.phase, row.alignment == TraceAlignment::kNone ? PhaseKind::kMinimum
                                                              : PhaseKind::kVectorMean);
  }
}

// Two takes of one position, the second `delay` samples after the first: the alignment finds
// the delay, and the aligned mean has the phase of either take.
TEST(TraceAverage, VectorAlignmentFindsTheDelayBetweenTakesToAFractionOfASample) {
  const takes::Transfer h = Position(0, 0.3, 3);
  const Trace first = takes::Take("first", h, 100.0);
  for (const double delay : {37.4, 0.5, -12.2, 1000.25, 3.0}) {
    const std::vector<Trace> pair = {first, takes::Take("second", h, 100.0 + delay)};
    const Result<Trace> mean = AverageTraces(pair, AverageWay::kVectorMean, {});
    ASSERT_TRUE(mean.Ok() && mean->origin.delaysSamples.size() == 2) << delay;
    EXPECT_NEAR(mean->origin.delaysSamples[1], delay, 0.02);
    double worst = 0.0;
    for (std::size_t k = 0; k < first.frequenciesHz.size(); ++k) {
      if (first.frequenciesHz[k] < 200.0 || first.frequenciesHz[k] > 10000.0) continue;
      worst = std::max(worst, std::abs(WrapPhaseDeg(mean->phasesDeg[k] - first.phasesDeg[k])));
    }
    EXPECT_LE(worst, 2.0) << delay;
  }
}

}  // namespace
}  // namespace quorvel

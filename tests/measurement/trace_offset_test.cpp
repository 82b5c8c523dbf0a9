// Level alignment of known tilts: at a frequency, over a band, to a level and to a trace.
#include "measurement/trace_offset.h"

#include <gtest/gtest.h>

#include "tests/measurement/take_support.h"

namespace quorvel {
namespace {

// A level linear in log frequency has, over a band, the mean it has at the band's centre.
TEST(TraceOffset, OffsetsBringTracesToALevelAtAFrequencyOrOverABand) {
  const auto tilt = [](double f) { return 10.0 * std::log10(f / 1000.0) - 3.0; };
  const std::vector<Trace> traces = {
      takes::Curve("tilt", 20.0, 20000.0, tilt),
      takes::Curve("raised", 50.0, 10000.0, [&](double f) { return tilt(f) + 5.0; })};
  const struct {
    LevelAnchor anchor;
    double levelDb;    // the tilt's there
    const char* text;  // its offset to 0 dB, or the refusal
  } cases[] = {
      {{1000.0, 1000.0}, -3.0, "+3.00 dB"},
      {{500.0, 2000.0}, -3.0, "+3.00 dB"},
      {{1000.0, 4000.0}, 10.0 * std::log10(2.0) - 3.0, "-0.01 dB"},
      {{31.5, 31.5}, 0.0, "raised covers 50-10000 Hz: its level at 31.5 Hz is not known"},
      {{20.0, 20000.0}, 0.0, "raised covers 50-10000 Hz: its level over 20-20000 Hz is not known"},
  };
  for (const auto& c : cases) {
    const Result<std::vector<double>> toZero = OffsetsToLevel(traces, c.anchor, 0.0);
    const Result<std::vector<double>> toFirst = OffsetsToTrace(traces, 0, c.anchor);
    EXPECT_EQ(toZero.Ok() ? OffsetText((*toZero)[0]) : toZero.Message(), c.text);
    ASSERT_EQ(toFirst.Ok(), toZero.Ok());
    if (!toZero.Ok()) continue;
    EXPECT_NEAR((*toZero)[0], -c.levelDb, 1e-6);
    EXPECT_NEAR((*toZero)[1], -c.levelDb - 5.0, 1e-6);
    EXPECT_TRUE((*toFirst)[0] == 0.0 && std::abs((*toFirst)[1] + 5.0) < 1e-6);
    const Trace moved = WithOffset(traces[1], (*toZero)[1]);
    EXPECT_NEAR(*AnchorLevelDb(moved, c.anchor), 0.0, 1e-6);
    EXPECT_EQ(moved.offsetDb, (*toZero)[1]);
  }
}

}  // namespace
}  // namespace quorvel

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
    double levelDb;  // the tilt's there
    const char* text;
    bool known;  // within both traces' ranges
  } cases[] = {
      {{1000.0, 1000.0}, -3.0, "+3.00 dB", true},
      {{500.0, 2000.0}, -3.0, "+3.00 dB", true},
      {{1000.0, 4000.0}, 10.0 * std::log10(2.0) - 3.0, "-0.01 dB", true},
      {{31.5, 31.5}, 10.0 * std::log10(0.0315) - 3.0, "", false},
      {{20.0, 20000.0}, -3.0, "", false},
  };
  for (const auto& c : cases) {
    const OrMessage<std::vector<double>> toZero = OffsetsToLevel(traces, c.anchor, 0.0);
    const OrMessage<std::vector<double>> toFirst = OffsetsToTrace(traces, 0, c.anchor);
    ASSERT_EQ(toZero.Ok(), c.known) << c.anchor.fromHz;
    ASSERT_EQ(toFirst.Ok(), c.known);
    if (!c.known) {
      EXPECT_EQ(toZero.Message().rfind("raised covers 50-10000 Hz: its level ", 0), 0u);
      continue;
    }
    EXPECT_NEAR(toZero.Value()[0], -c.levelDb, 1e-6);
    EXPECT_NEAR(toZero.Value()[1], -c.levelDb - 5.0, 1e-6);
    EXPECT_EQ(OffsetText(toZero.Value()[0]), c.text);
    EXPECT_EQ(toFirst.Value()[0], 0.0);
    EXPECT_NEAR(toFirst.Value()[1], -5.0, 1e-6);
    const Trace moved = WithOffset(traces[1], toZero.Value()[1]);
    EXPECT_NEAR(AnchorLevelDb(moved, c.anchor).Value(), 0.0, 1e-6);
    EXPECT_EQ(moved.offsetDb, toZero.Value()[1]);
  }
}

}  // namespace
}  // namespace quorvel

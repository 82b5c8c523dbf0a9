// The reading cursor: each visible trace's level, interpolated on log frequency, its difference
// to the reference, and texts with a decimal point in any locale.
#include "graph/plot_cursor.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "tests/base/decimal_comma_locale.h"

namespace quorvel {

namespace {

TEST(PlotCursor, TracesAreReadOnLogFrequency) {
  const std::vector<double> f{100, 1000, 2000, 4000};
  const std::vector<double> level{0, -10, NAN, -20};
  struct Case {
    double hz, want;  // NaN: no level
  } const cases[] = {{100, 0},      {std::sqrt(1e5), -5}, {1000, -10}, {99.9, NAN},
                     {4000.1, NAN}, {1500, NAN},          {4000, -20}, {NAN, NAN}};
  for (const Case& c : cases) {
    const double got = ValueAtFrequency(f, level, c.hz);
    EXPECT_TRUE(std::isnan(c.want) ? std::isnan(got) : std::fabs(got - c.want) < 1e-12) << c.hz;
  }
  EXPECT_TRUE(std::isnan(ValueAtFrequency(f, std::vector<double>{1, 2}, 500)));
}

TEST(PlotCursor, ReadoutGivesLevelsAndDifferencesInAnyLocale) {
  QUORVEL_IN_DECIMAL_COMMA_LOCALE(locale);
  const std::vector<double> f{20, 20000}, a{-3.4, -3.4}, b{-1.2, -1.2}, c{-50, -50},
      narrow{100, 200};
  std::vector<PlotTrace> traces{{"A", {}, {}, f, a, {}, 0, true},
                                {"B", {}, {}, f, b, {}, 0, true},
                                {"hidden", {}, {}, f, c, {}, 0, false},
                                {"C", {}, {}, narrow, c, {}, 0, true}};
  const CursorReadout readout = ReadCursor(traces, 1234.0, 0);
  ASSERT_EQ(readout.values.size(), 3u);
  EXPECT_TRUE(readout.values[0].isReference && !readout.values[2].isReference);
  EXPECT_EQ(CursorReadoutText(traces, readout), "1.23 kHz: A -3.4 dB, B -1.2 dB (+2.2), C --");
  // no reference (hidden, or none): levels alone
  EXPECT_EQ(CursorReadoutText(traces, ReadCursor(traces, 85.24, 2)),
            "85.2 Hz: A -3.4 dB, B -1.2 dB, C --");
  EXPECT_EQ(CursorReadoutText(traces, ReadCursor(traces, 150, 3)),
            "150 Hz: A -3.4 dB (+46.6), B -1.2 dB (+48.8), C -50.0 dB");
  EXPECT_EQ(CursorFrequencyText(999.7), "1 kHz");
  EXPECT_EQ(CursorValueText({0, -0.04, 0.04, false}), "0.0 dB (+0.0)");
}

}  // namespace

}  // namespace quorvel

// The trace palette: sixteen different colours, each visible on the plots' white, and no two of
// the first 48 traces alike.
#include "graph/trace_palette.h"

#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <tuple>

namespace quorvel {

namespace {

// WCAG 2 relative luminance of an sRGB colour
double Luminance(const TraceRgb& c) {
  const auto linear = [](uint8_t v) {
    const double s = v / 255.0;
    return s <= 0.04045 ? s / 12.92 : std::pow((s + 0.055) / 1.055, 2.4);
  };
  return 0.2126 * linear(c.red) + 0.7152 * linear(c.green) + 0.0722 * linear(c.blue);
}

TEST(TracePalette, SixteenColoursVisibleOnWhiteAndFortyEightLooks) {
  std::set<std::tuple<int, int, int>> colours;
  for (const TraceRgb& c : TraceColours()) {
    colours.emplace(c.red, c.green, c.blue);
    EXPECT_GE(1.05 / (Luminance(c) + 0.05), 2.0) << int{c.red} << " " << int{c.green};
  }
  EXPECT_EQ(colours.size(), 16u);
  std::set<std::tuple<int, int, int, int>> looks;
  for (int i = 0; i < 48; ++i) {
    const TraceLook look = TraceLookAt(i);
    looks.emplace(look.colour.red, look.colour.green, look.colour.blue,
                  static_cast<int>(look.style));
    EXPECT_EQ(look.style == TraceLineStyle::kSolid, i < 8 || (i >= 24 && i < 32)) << i;
  }
  EXPECT_EQ(looks.size(), 48u);
  EXPECT_EQ(TraceLookAt(48).colour, TraceLookAt(0).colour);
}

}  // namespace

}  // namespace quorvel

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
  const auto lin = [](uint8_t v) {
    return v <= 10 ? v / 3294.6 : std::pow((v / 255.0 + 0.055) / 1.055, 2.4);
  };
  return 0.2126 * lin(c.red) + 0.7152 * lin(c.green) + 0.0722 * lin(c.blue);
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
    const PaletteLook look = TraceLookAt(i);
    looks.emplace(look.colour.red, look.colour.green, look.colour.blue,
                  static_cast<int>(look.style));
    EXPECT_EQ(look.style == TraceLineStyle::kSolid, i < 8 || (i >= 24 && i < 32)) << i;
  }
  EXPECT_EQ(looks.size(), 48u);
  EXPECT_EQ(TraceLookAt(48).colour, TraceLookAt(0).colour);
}

}  // namespace

}  // namespace quorvel

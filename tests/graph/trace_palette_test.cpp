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

TEST(TracePalette, ColourDifferencesAsPublishedAndNoTraceLikeTheLiveCurve) {
  // Sharma, Wu and Dalal's test pairs (2005, table 1: pairs 1, 7, 17, 25, 34)
  const struct {
    CieLab first, second;
    double difference;
  } pairs[] = {{{50, 2.6772, -79.7751}, {50, 0, -82.7485}, 2.0425},
               {{50, 0, 0}, {50, -1, 2}, 2.3669},
               {{50, 2.5, 0}, {73, 25, -18}, 27.1492},
               {{60.2574, -34.0099, 36.2677}, {60.4626, -34.1751, 39.4387}, 1.2644},
               {{90.8027, -2.0831, 1.4410}, {91.1528, -1.6435, 0.0447}, 1.4441}};
  for (const auto& pair : pairs) {
    EXPECT_NEAR(ColourDifference(pair.first, pair.second), pair.difference, 1e-4);
    EXPECT_NEAR(ColourDifference(pair.second, pair.first), pair.difference, 1e-4);
  }
  const CieLab white = LabOf({255, 255, 255});
  EXPECT_NEAR(white.l, 100.0, 1e-3);
  EXPECT_NEAR(std::hypot(white.a, white.b), 0.0, 1e-3);

  // on the main graph every palette colour stays one of its own and none is near the live curve
  std::set<std::tuple<int, int, int>> drawn;
  for (const TraceRgb& c : TraceColours()) {
    const TraceRgb main = MainGraphColour(c);
    drawn.emplace(main.red, main.green, main.blue);
    EXPECT_GE(ColourDifference(main, kLiveCurveColour), kLeastDifferenceToLiveCurve)
        << int{c.red} << " " << int{c.green} << " " << int{c.blue};
    if (ColourDifference(c, kLiveCurveColour) >= kLeastDifferenceToLiveCurve) {
      EXPECT_EQ(main, c);
    }
  }
  EXPECT_EQ(drawn.size(), 16u);
  EXPECT_GE(ColourDifference(MainGraphColour({250, 10, 20}), kLiveCurveColour),
            kLeastDifferenceToLiveCurve);
}

}  // namespace

}  // namespace quorvel

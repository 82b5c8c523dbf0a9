#include "control/polar/polar_angles.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quorvel {

namespace {

TEST(PolarAngles, ListsAndRangesAreReadAndEverythingElseRefused) {
  struct Case {
    const char* text;
    bool ok;
    std::vector<int> angles;
  };
  const Case cases[] = {
      {"0, 30, 60", true, {0, 30, 60}},
      {"0 15 +30;-45", true, {0, 15, 30, -45}},
      {"0 to 180 by 30", true, {0, 30, 60, 90, 120, 150, 180}},
      {"-90 to 90 by 45", true, {-90, -45, 0, 45, 90}},
      {"0 to -60 by 30", true, {0, -30, -60}},
      {"0 to 100 by 40", true, {0, 40, 80, 100}},  // the end is always measured
      {"180 to 180 by 5", true, {180}},
      {"", false, {}},
      {"0, 30, 30", false, {}},
      {"0, 7.5", false, {}},
      {"0, 181", false, {}},
      {"0 to 90 by 0", false, {}},
      {"0 to 190 by 10", false, {}},
      {"ten, 20", false, {}},
  };
  for (const Case& c : cases) {
    const Result<std::vector<int>> angles = ParsePolarAngles(c.text);
    EXPECT_EQ(angles.Ok(), c.ok) << c.text;
    if (c.ok) {
      EXPECT_EQ(*angles, c.angles) << c.text;
    } else {
      EXPECT_FALSE(angles.Message().empty()) << c.text;
    }
  }
  const Result<std::vector<int>> every = ParsePolarAngles("-180 to 180 by 1");
  ASSERT_TRUE(every.Ok());
  EXPECT_EQ(every->size(), kMostPolarAngles);
}

TEST(PolarAngles, CapturesAreNamedAsCrossoverToolsReadThem) {
  EXPECT_EQ(PolarCapturePath("/data/s", "woofer", PolarPlane::kHorizontal, 30),
            "/data/s/woofer hor 30.wav");
  EXPECT_EQ(PolarCapturePath("/data/s/", "woofer", PolarPlane::kVertical, -30),
            "/data/s/woofer ver -30.wav");
  EXPECT_EQ(PolarCapturePath("/d", "left tweeter", PolarPlane::kHorizontal, 0),
            "/d/left tweeter hor 0.wav");
  const struct {
    const char* name;
    bool ok;
  } names[] = {{"woofer", true}, {"left tweeter", true}, {"", false},       {" woofer", false},
               {"a/b", false},   {"w hor", true},        {"woofer ", false}};
  for (const auto& n : names) {
    const Result<void> checked = CheckSeriesName(n.name);
    EXPECT_EQ(checked.Ok(), n.ok) << n.name;
    EXPECT_EQ(checked.Message().empty(), n.ok) << n.name;
  }
}

}  // namespace

}  // namespace quorvel

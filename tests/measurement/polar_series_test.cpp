// The names of an off-axis series' captures, read as crossover tools write them, and the FRD
// names made of them.
#include "measurement/polar_series.h"

#include <gtest/gtest.h>

namespace quorvel {

namespace {

TEST(PolarSeries, CaptureNamesAreReadAsCrossoverToolsWriteThem) {
  struct Case {
    const char* file;
    bool read;
    const char* series;
    PolarPlane plane;
    int angle;
    const char* frd;  // the FRD's name for it
  } cases[] = {
      {"woofer hor 30.wav", true, "woofer", PolarPlane::kHorizontal, 30, "woofer hor 30.frd"},
      {"my woofer ver -15.WAV", true, "my woofer", PolarPlane::kVertical, -15,
       "my woofer ver -15.frd"},
      {"w hor +45.wav", true, "w", PolarPlane::kHorizontal, 45, "w hor 45.frd"},
      {"w hor 180.0.wav", true, "w", PolarPlane::kHorizontal, 180, "w hor 180.frd"},
      {"w hor 0.wav", true, "w", PolarPlane::kHorizontal, 0, "w hor 0.frd"},
      {"w hor 181.wav", false, "", PolarPlane::kHorizontal, 0, ""},
      {"w hor 7.5.wav", false, "", PolarPlane::kHorizontal, 0, ""},
      {"w dia 30.wav", false, "", PolarPlane::kHorizontal, 0, ""},
      {"hor 30.wav", false, "", PolarPlane::kHorizontal, 0, ""},
      {"w hor 30.frd", false, "", PolarPlane::kHorizontal, 0, ""},
      {"w hor .wav", false, "", PolarPlane::kHorizontal, 0, ""},
      {"whor 30.wav", false, "", PolarPlane::kHorizontal, 0, ""},
  };
  for (const Case& c : cases) {
    const auto name = ParsePolarName(c.file);
    ASSERT_EQ(name.has_value(), c.read) << c.file;
    if (!name) continue;
    EXPECT_EQ(name->series, c.series) << c.file;
    EXPECT_EQ(name->plane, c.plane) << c.file;
    EXPECT_EQ(name->angleDeg, c.angle) << c.file;
    EXPECT_EQ(PolarFileName(*name, ".frd"), c.frd) << c.file;
  }
}

}  // namespace

}  // namespace quorvel

// The main window's sliders: the positions they take from the preferences and from the device.
#include "control/window/slider_positions.h"

#include <gtest/gtest.h>

namespace quorvel {

namespace {

TEST(SliderPositions, StoredPositionsStayOnTheSlider) {
  const struct {
    int stored, position;
  } cases[] = {{12, 12}, {0, 0}, {24, 24}, {1000, 24}, {-3, 0}, {25, 24}};
  for (const auto& c : cases) EXPECT_EQ(SliderPositionFromPreference(c.stored), c.position);
}

TEST(SliderPositions, TheDeviceVolumeIsRoundedToTheNearestStep) {
  const struct {
    float volume;
    int position;
  } volumes[] = {{0.0f, 0}, {1.0f, 24}, {0.5f, 12}, {0.51f, 12}, {0.53f, 13}, {0.02f, 0}};
  for (const auto& v : volumes) EXPECT_EQ(VolumePositionOfScalar(v.volume), v.position) << v.volume;
  // full volume: the samples go out unchanged
  EXPECT_EQ(SoftwareVolumeScale(24), kFullPlayVolume);
}

}  // namespace

}  // namespace quorvel

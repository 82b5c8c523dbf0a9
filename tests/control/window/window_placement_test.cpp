// The window's size on a small screen, and where it was when it last closed.
#include "control/window/window_placement.h"

#include <gtest/gtest.h>

#include <climits>

#include "base/memory_preferences.h"

namespace quorvel {

constexpr WindowSize kLeast{1071, 432};

TEST(WindowPlacement, TheWindowTakesWhatTheScreenHoldsDownToItsLeastSize) {
  const struct {
    WindowRect available;
    int width, height;
  } cases[] = {
      {{0, 0, 1920, 1050}, 1095, 647},  // room enough: its own size
      {{0, 27, 1093, 587}, 1085, 543},  // 1366 x 768 at 1.25 under a panel
      {{0, 0, 640, 400}, 1071, 432},    // too small for the least size
  };
  for (const auto& c : cases) {
    const WindowSize size = FitWindowSize({1095, 647}, kLeast, {4, 40, 4, 4}, c.available);
    EXPECT_EQ(size.width, c.width) << c.available.width;
    EXPECT_EQ(size.height, c.height) << c.available.height;
  }
}

TEST(WindowPlacement, AKeptPlaceIsUsedOnlyWhereAScreenStillHoldsIt) {
  const std::vector<WindowRect> screens = {{0, 0, 1920, 1050}, {1920, 0, 1366, 740}};
  const struct {
    WindowRect rect;
    bool fits;
  } cases[] = {
      {{100, 80, 1200, 700}, true},
      {{2000, 20, 1100, 650}, true},         // on either screen
      {{100, 80, 900, 700}, false},          // below the least size
      {{INT_MAX - 5, 0, 1100, 650}, false},  // a number no screen holds
      {{0, 0, 0, 0}, false},                 // none kept
  };
  for (const auto& c : cases) {
    EXPECT_EQ(PlacementFits({c.rect, false}, kLeast, screens), c.fits) << c.rect.left;
  }
  CMemoryPreferences preferences;  // kept as numbers, read back the same
  WriteWindowPlacement(preferences, {{-40, 30, 1200, 700}, true});
  const WindowPlacement read = ReadWindowPlacement(preferences);
  EXPECT_EQ(read.rect.left, -40);
  EXPECT_EQ(read.rect.height, 700);
  EXPECT_TRUE(read.maximized);
}

}  // namespace quorvel

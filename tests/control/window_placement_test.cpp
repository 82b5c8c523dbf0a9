// The window's size on a small screen, and where it was when it last closed.
#include "control/window_placement.h"

#include <gtest/gtest.h>

#include <climits>

#include "base/memory_preferences.h"

namespace quorvel {

namespace {

constexpr WindowSize kOwn{1095, 647};
constexpr WindowSize kLeast{1071, 432};
constexpr FrameMargins kFrame{4, 40, 4, 4};

TEST(WindowPlacement, TheWindowTakesWhatTheScreenHoldsDownToItsLeastSize) {
  const struct {
    WindowRect available;
    int width, height;
  } cases[] = {
      {{0, 0, 1920, 1050}, 1095, 647},  // room enough: its own size
      {{0, 27, 1093, 587}, 1085, 543},  // 1366 x 768 at 1.25 under a panel
      {{0, 0, 800, 600}, 1071, 556},    // narrower than the controls' row: the least width
      {{0, 0, 640, 400}, 1071, 432},
  };
  for (const auto& c : cases) {
    const WindowSize size = FitWindowSize(kOwn, kLeast, kFrame, c.available);
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
      {{1800, 80, 1200, 700}, false},        // across the two
      {{2000, 20, 1100, 800}, false},        // taller than the second screen: it went smaller
      {{100, 80, 900, 700}, false},          // below the least size
      {{INT_MAX - 5, 0, 1100, 650}, false},  // a number no screen holds
      {{0, 0, 0, 0}, false},                 // none kept
  };
  for (const auto& c : cases) {
    EXPECT_EQ(PlacementFits(WindowPlacement{c.rect, false}, kLeast, screens), c.fits)
        << c.rect.left << "," << c.rect.top << " " << c.rect.width << "x" << c.rect.height;
  }
  // kept in the preferences as numbers, and read back the same
  CMemoryPreferences preferences;
  EXPECT_EQ(ReadWindowPlacement(preferences).rect.width, 0);  // none kept yet
  WriteWindowPlacement(preferences, WindowPlacement{{-40, 30, 1200, 700}, true});
  const WindowPlacement read = ReadWindowPlacement(preferences);
  EXPECT_EQ(read.rect.left, -40);
  EXPECT_EQ(read.rect.height, 700);
  EXPECT_TRUE(read.maximized);
}

}  // namespace

}  // namespace quorvel

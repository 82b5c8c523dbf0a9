// Where the workbench window opens beside the main window, on screens of several sizes.
#include "control/workbench/workbench_placement.h"

#include <gtest/gtest.h>

namespace quorvel {
namespace {

TEST(WorkbenchPlacement, BesideTheMainWindowWhereThereIsRoom) {
  const WindowSize own{1100, 700}, least{720, 400};
  const struct {
    const char* what;
    WindowRect main, area, placed, coverable = {};
  } cases[] = {
      {"right, its whole size", {0, 0, 1100, 720}, {0, 0, 2560, 1440}, {1100, 0, 1100, 700}},
      {"right, narrowed", {0, 0, 1100, 720}, {0, 0, 1920, 1080}, {1100, 0, 820, 700}},
      {"left", {900, 100, 1100, 720}, {0, 0, 2000, 1080}, {0, 100, 900, 700}},
      {"kept on the area", {800, 600, 1000, 720}, {0, 0, 1800, 1000}, {0, 300, 800, 700}},
      {"below, lowered", {0, 0, 1100, 720}, {0, 0, 1280, 1300}, {0, 720, 1100, 580}},
      {"above", {0, 500, 1100, 720}, {0, 0, 1280, 1220}, {0, 0, 1100, 500}},
      {"no room: the right end", {0, 0, 1100, 720}, {0, 0, 1280, 1024}, {560, 0, 720, 700}},
      {"no room: over the graph, below the controls",
       {0, 0, 1100, 680},
       {0, 0, 1366, 740},
       {646, 130, 720, 455},
       {10, 130, 1080, 455}},
      {"no room: raised to show least",
       {0, 0, 1100, 680},
       {0, 0, 1366, 740},
       {646, 340, 720, 400},
       {10, 500, 1080, 200}},
  };
  for (const auto& c : cases) {
    const WindowRect got = PlaceBeside(c.main, own, least, c.area, c.coverable);
    EXPECT_EQ(got.left, c.placed.left) << c.what;
    EXPECT_EQ(got.top, c.placed.top) << c.what;
    EXPECT_EQ(got.width, c.placed.width) << c.what;
    EXPECT_EQ(got.height, c.placed.height) << c.what;
  }
}

}  // namespace
}  // namespace quorvel

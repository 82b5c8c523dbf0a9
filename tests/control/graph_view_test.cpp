// The graph's own pixels on a graph area of any size: a mouse position comes back as the pixel
// of the graph under it.
#include "control/graph_view.h"

#include <gtest/gtest.h>

namespace quorvel {

namespace {

TEST(GraphView, APositionComesBackAsTheGraphPixelUnderIt) {
  const struct {
    double shownWidth, shownHeight, x, y;
    int graphX, graphY;
  } cases[] = {
      {1065, 455, 533, 233, 533, 233},            // at its own size, pixel for pixel
      {2130, 910, 1067.9, 466, 533, 233},         // twice the size: two pixels a pixel
      {1331.25, 568.75, 666.2, 291.2, 532, 232},  // 1.25: pixel 533 begins at 666.25
      {1200, 400, 1199.9, 399.9, 1064, 454},      // stretched: the last pixel reaches the edge
      {1065, 455, -0.5, 460, -1, 460},            // outside the area: outside the graph
      {0, 0, 533, 233, 533, 233},                 // an area without a size: as it is
  };
  for (const auto& c : cases) {
    const LogicalPoint p = CGraphView(1065, 455, c.shownWidth, c.shownHeight).ToLogical(c.x, c.y);
    EXPECT_EQ(p.x, c.graphX) << c.shownWidth << " " << c.x;
    EXPECT_EQ(p.y, c.graphY) << c.shownHeight << " " << c.y;
  }
}

}  // namespace

}  // namespace quorvel

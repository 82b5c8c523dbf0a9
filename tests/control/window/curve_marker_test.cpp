// The curve marker driven by mouse positions in a graph area of the window's size: where the
// plot begins and ends, press, drag and release, and what a drag out of the plot does.
#include "control/window/curve_marker.h"

#include <gtest/gtest.h>

#include "base/shared_state.h"
#include "graph/graphical.h"

namespace quorvel {

namespace {

// The graph area of the main window [pixels].
constexpr int kWidth = 1065;
constexpr int kHeight = 455;

struct Rig {
  CSharedState shared;
  CGraphical graph{shared};
  CCurveMarker marker{graph};
  CCurveMarker::Response Press(int x, int y) { return marker.Press(x, y, kWidth, kHeight); }
  CCurveMarker::Response Move(int x, int y) { return marker.Move(x, y, kWidth, kHeight); }
};

TEST(CurveMarker, ThePlotSpansAThousandPixelsAboveTheAxis) {
  // The plot's left edge is 33 pixels into the area, its bottom line 433 rows down (22 above
  // the bottom edge), and it is 405 rows high.
  const struct {
    int x, y;
    bool inPlot;
    int plotX, plotY;
  } cases[] = {
      {33, 432, true, 0, 1},         {1033, 28, true, 1000, 405}, {32, 300, false, -1, 133},
      {1034, 300, false, 1001, 133}, {500, 433, false, 467, 0},   {500, 27, false, 467, 406},
      {533, 233, true, 500, 200},
  };
  for (const auto& c : cases) {
    const PlotPosition p = ToPlotPosition(c.x, c.y, kWidth, kHeight);
    EXPECT_EQ(p.inPlot, c.inPlot) << c.x << "," << c.y;
    EXPECT_EQ(p.x, c.plotX) << c.x << "," << c.y;
    EXPECT_EQ(p.y, c.plotY) << c.x << "," << c.y;
  }
  EXPECT_FALSE(ToPlotPosition(533, 233, 400, 200).inPlot);  // outside a smaller area
}

TEST(CurveMarker, APressInThePlotStartsADragAndSetsTheMarker) {
  Rig rig;
  const CCurveMarker::Response r = rig.Press(533, 233);
  EXPECT_TRUE(rig.marker.Dragging());
  EXPECT_EQ(r.cursor, MarkerCursor::kDualArrow);
  EXPECT_TRUE(r.repaint);
  EXPECT_EQ(rig.graph.m_cursorIndex, 500);
  EXPECT_EQ(rig.graph.m_cursorY, 200);
  // on the left edge: the drag starts at point 0, which draws no marker until a move right
  Rig edge;
  edge.Press(33, 200);
  EXPECT_TRUE(edge.marker.Dragging());
  EXPECT_EQ(edge.graph.m_cursorIndex, 0);
}

TEST(CurveMarker, APressInTheMarginOrOutsideHidesTheMarker) {
  const struct {
    int x, y;
    bool dragAfter;  // a drag that was on stays on in the margin, ends outside the area
  } cases[] = {
      {10, 200, true}, {500, 440, true}, {500, 5, true}, {-5, 200, false}, {500, 460, false}};
  for (const auto& c : cases) {
    Rig rig;
    rig.Press(533, 233);
    const CCurveMarker::Response r = rig.Press(c.x, c.y);
    EXPECT_EQ(rig.graph.m_cursorIndex, -1) << c.x << "," << c.y;
    EXPECT_EQ(r.cursor, MarkerCursor::kArrow);
    EXPECT_EQ(rig.marker.Dragging(), c.dragAfter) << c.x << "," << c.y;
  }
}

TEST(CurveMarker, DraggingFollowsXOnlyAndStopsOutsideThePlot) {
  Rig rig;
  rig.Press(533, 233);
  CCurveMarker::Response r = rig.Move(533, 100);  // y alone: the marker stays
  EXPECT_FALSE(r.repaint);
  EXPECT_EQ(r.cursor, MarkerCursor::kDualArrow);
  EXPECT_EQ(rig.graph.m_cursorY, 200);
  r = rig.Move(633, 100);
  EXPECT_TRUE(r.repaint);
  EXPECT_EQ(rig.graph.m_cursorIndex, 600);
  EXPECT_EQ(rig.graph.m_cursorY, 333);
  r = rig.Move(1100, 100);  // out of the plot: the arrow, the marker where it was
  EXPECT_EQ(r.cursor, MarkerCursor::kArrow);
  EXPECT_EQ(rig.graph.m_cursorIndex, 600);
  r = rig.Move(233, 300);  // back in with the button still held
  EXPECT_EQ(rig.graph.m_cursorIndex, 200);
  // the release ends the drag and leaves the marker
  r = rig.marker.Release();
  EXPECT_FALSE(rig.marker.Dragging());
  EXPECT_EQ(r.cursor, MarkerCursor::kArrow);
  r = rig.Move(433, 300);
  EXPECT_EQ(rig.graph.m_cursorIndex, 200);
  EXPECT_FALSE(r.repaint);
}

}  // namespace

}  // namespace quorvel

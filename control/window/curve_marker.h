#pragma once

namespace quorvel {

class CGraphical;

// The curve reading marker, the mouse side: pressing the left button in the graph's plot and
// dragging moves a marker along the curve; the graph's drawing puts it on the curve and writes
// its frequency and level. Positions are in pixels of the graph area, from its top-left corner
// (they may lie outside it); the plot geometry is the graph's own (graph/graph_scales.h): the
// plot's left edge at kPlotLeft, its bottom line kAxisHeight above the area's bottom edge, 1000
// pixels wide (one per curve point) and kPlotTop - kAxisHeight pixels high.
// User-interface thread only.

// Where the mouse is in the plot: x pixels right of its left edge (the curve point's index) and
// y pixels above its bottom line.
struct PlotPosition {
  int x = 0;
  int y = 0;
  bool inPlot = false;  // 0 <= x <= 1000 and 0 < y <= plot height, inside the area
};
[[nodiscard]] PlotPosition ToPlotPosition(int areaX, int areaY, int areaWidth, int areaHeight);

enum class MarkerCursor { kArrow, kDualArrow };

class CCurveMarker {
 public:
  explicit CCurveMarker(CGraphical& graph) : m_graph(graph) {}

  // What the window does after a mouse event: show this cursor, repaint the graph or not.
  struct Response {
    MarkerCursor cursor = MarkerCursor::kArrow;
    bool repaint = false;
  };

  // Left button down: outside the area the drag ends and the marker hides; in the area's
  // margin the marker hides; in the plot the drag starts and the marker jumps there.
  Response Press(int areaX, int areaY, int areaWidth, int areaHeight);
  // Mouse moved with the button held: in the plot the marker follows a change of x (a move in
  // y alone does not move it); out of it the marker stays and the cursor is the arrow.
  Response Move(int areaX, int areaY, int areaWidth, int areaHeight);
  // Left button up (wherever it happens: the window holds the mouse during a drag): the drag
  // ends and the marker stays.
  Response Release();

  bool Dragging() const { return m_dragging; }

 private:
  CGraphical& m_graph;
  bool m_dragging = false;
};

}  // namespace quorvel

// The curve reading marker: mouse positions to plot positions, press, drag and release.
#include "control/window/curve_marker.h"

#include "graph/graph_scales.h"
#include "graph/graphical.h"

namespace quorvel {

namespace {

constexpr int kPlotHeight = kPlotTop - kAxisHeight;  // 405 [pixels]

bool InArea(int x, int y, int width, int height) {
  return x >= 0 && y >= 0 && x < width && y < height;
}

}  // namespace

PlotPosition ToPlotPosition(int areaX, int areaY, int areaWidth, int areaHeight) {
  PlotPosition position;
  position.x = areaX - kPlotLeft;
  position.y = (areaHeight - kAxisHeight) - areaY;  // the bottom line, 433 rows down in 455
  position.inPlot = InArea(areaX, areaY, areaWidth, areaHeight) && position.x >= 0 &&
                    position.x <= kPlotWidth && position.y > 0 && position.y <= kPlotHeight;
  return position;
}

CCurveMarker::Response CCurveMarker::Press(int areaX, int areaY, int areaWidth, int areaHeight) {
  Response response;
  if (!InArea(areaX, areaY, areaWidth, areaHeight)) {
    m_dragging = false;
    m_graph.m_cursorIndex = -1;
    response.repaint = true;
    return response;
  }
  const PlotPosition position = ToPlotPosition(areaX, areaY, areaWidth, areaHeight);
  if (!position.inPlot) {
    m_graph.m_cursorIndex = -1;  // a press in the margin hides the marker
    response.repaint = true;
    return response;
  }
  m_dragging = true;
  m_graph.m_cursorIndex = position.x;
  m_graph.m_cursorY = position.y;
  response.cursor = MarkerCursor::kDualArrow;
  response.repaint = true;
  return response;
}

CCurveMarker::Response CCurveMarker::Move(int areaX, int areaY, int areaWidth, int areaHeight) {
  Response response;
  if (!m_dragging) return response;
  const PlotPosition position = ToPlotPosition(areaX, areaY, areaWidth, areaHeight);
  if (!position.inPlot) return response;
  response.cursor = MarkerCursor::kDualArrow;
  if (position.x != m_graph.m_cursorIndex) {
    m_graph.m_cursorIndex = position.x;
    m_graph.m_cursorY = position.y;
    response.repaint = true;
  }
  return response;
}

CCurveMarker::Response CCurveMarker::Release() {
  m_dragging = false;
  Response response;
  response.repaint = true;
  return response;
}

}  // namespace quorvel

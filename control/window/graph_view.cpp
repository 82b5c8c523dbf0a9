#include "control/window/graph_view.h"

#include <cmath>

namespace quorvel {

CGraphView::CGraphView(int logicalWidth, int logicalHeight, double shownWidth, double shownHeight) {
  if (logicalWidth > 0 && logicalHeight > 0 && shownWidth > 0.0 && shownHeight > 0.0) {
    m_scaleX = shownWidth / logicalWidth;
    m_scaleY = shownHeight / logicalHeight;
  }
}

LogicalPoint CGraphView::ToLogical(double x, double y) const {
  return LogicalPoint{static_cast<int>(std::floor(x / m_scaleX)),
                      static_cast<int>(std::floor(y / m_scaleY))};
}

}  // namespace quorvel

#include "app/graph_area.h"

#include <QMouseEvent>
#include <QPainter>

#include "graph/curve_image_export.h"
#include "graph/graph_resources.h"
#include "graph/graphical.h"
#include "graph/painter_canvas.h"

namespace quorvel {

CGraphArea::CGraphArea(CGraphical& graph, QWidget* parent) : QWidget(parent), m_graph(graph) {
  setAttribute(Qt::WA_OpaquePaintEvent);
}

CGraphView CGraphArea::View() const {
  return CGraphView(kGraphAreaWidth, kGraphAreaHeight, width(), height());
}

QPoint CGraphArea::ToGraph(const QPointF& position) const {
  const LogicalPoint point = View().ToLogical(position.x(), position.y());
  return QPoint(point.x, point.y);
}

void CGraphArea::paintEvent(QPaintEvent*) {
  if (!m_graph.PaintGraph(kGraphAreaWidth, kGraphAreaHeight)) return;
  QPainter painter(this);
  const CGraphView view = View();
  const double ratio = devicePixelRatioF();
  if (view.AtOwnSize() && ratio == 1.0) {
    painter.drawImage(QPoint(0, 0), GraphPicture(m_graph));
    return;
  }
  PaintAtDeviceResolution(
      painter, size(), ratio, kGraphAreaWidth, kGraphAreaHeight, m_screenPicture,
      [this](CGraphCanvas& canvas) {
        static_cast<void>(m_graph.PaintGraph(canvas, kGraphAreaWidth, kGraphAreaHeight));
      });
}

// A press in the area takes the mouse until the release (Qt's implicit grab): moves and the
// release outside the window still arrive here, so a drag always ends.
void CGraphArea::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) {
    QWidget::mousePressEvent(event);
    return;
  }
  if (m_mouse) m_mouse(MouseAction::kPress, ToGraph(event->position()));
}

void CGraphArea::mouseMoveEvent(QMouseEvent* event) {
  if ((event->buttons() & Qt::LeftButton) == 0) return;
  if (m_mouse) m_mouse(MouseAction::kMove, ToGraph(event->position()));
}

void CGraphArea::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) {
    QWidget::mouseReleaseEvent(event);
    return;
  }
  if (m_mouse) m_mouse(MouseAction::kRelease, ToGraph(event->position()));
}

}  // namespace quorvel

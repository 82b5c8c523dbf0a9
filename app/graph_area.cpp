#include "app/graph_area.h"

#include <QMouseEvent>
#include <QPainter>

#include "graph/graph_resources.h"
#include "graph/graphical.h"

namespace quorvel {

CGraphArea::CGraphArea(CGraphical& graph, QWidget* parent) : QWidget(parent), m_graph(graph) {
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void CGraphArea::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  if (!m_graph.PaintGraph(width(), height())) return;
  painter.drawImage(QPoint(0, 0), GraphPicture(m_graph));
}

// A press in the area takes the mouse until the release (Qt's implicit grab): moves and the
// release outside the window still arrive here, so a drag always ends.
void CGraphArea::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) {
    QWidget::mousePressEvent(event);
    return;
  }
  if (m_mouse) m_mouse(MouseAction::kPress, event->position().toPoint());
}

void CGraphArea::mouseMoveEvent(QMouseEvent* event) {
  if ((event->buttons() & Qt::LeftButton) == 0) return;
  if (m_mouse) m_mouse(MouseAction::kMove, event->position().toPoint());
}

void CGraphArea::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) {
    QWidget::mouseReleaseEvent(event);
    return;
  }
  if (m_mouse) m_mouse(MouseAction::kRelease, event->position().toPoint());
}

}  // namespace quorvel

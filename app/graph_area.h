#pragma once

#include <QImage>
#include <QWidget>
#include <functional>

#include "control/window/graph_view.h"

namespace quorvel {

class CGraphical;

// The graph area, the black frame inside "Freqency Response". Each paint draws the whole graph into
// the graph's off-screen picture at the graph's own size, 1065 x 455 (Save Curve and Print take it
// from there), and shows it: the picture itself when the area has that size on a screen of scale 1,
// otherwise the same graph drawn again at the area's size in the screen's own pixels, the graph's
// pixels mapped onto them (CGraphView), and shown pixel for pixel. Mouse presses, drags and
// releases in it go to the marker with positions in the graph's own pixels, whatever the area's
// size.
class CGraphArea : public QWidget {
  Q_OBJECT

 public:
  enum class MouseAction { kPress, kMove, kRelease };
  // position: in the graph's own pixels
  using MouseHandler = std::function<void(MouseAction, QPoint)>;

  CGraphArea(CGraphical& graph, QWidget* parent = nullptr);
  void SetMouseHandler(MouseHandler handler) { m_mouse = std::move(handler); }
  // The area's mapping of the graph's own pixels onto its own.
  [[nodiscard]] CGraphView View() const;
  // The graph's own pixel under a position of the area [area pixels; may lie outside it].
  [[nodiscard]] QPoint ToGraph(const QPointF& position) const;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  CGraphical& m_graph;
  MouseHandler m_mouse;
  QImage m_screenPicture;  // the graph at the area's size in device pixels
};

}  // namespace quorvel

#pragma once

#include <QWidget>
#include <functional>

namespace quorvel {

class CGraphical;

// The graph area, the black frame inside "Freqency Response": PaintGraph draws the whole graph into
// the graph's off-screen picture at the area's size, and the picture is copied to the screen. Mouse
// presses, drags and releases in it go to the marker, with positions in the area's pixels.
class CGraphArea : public QWidget {
  Q_OBJECT

 public:
  enum class MouseAction { kPress, kMove, kRelease };
  using MouseHandler = std::function<void(MouseAction, QPoint)>;

  CGraphArea(CGraphical& graph, QWidget* parent = nullptr);
  void SetMouseHandler(MouseHandler handler) { m_mouse = std::move(handler); }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  CGraphical& m_graph;
  MouseHandler m_mouse;
};

}  // namespace quorvel

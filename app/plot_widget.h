#pragma once
// The workbench plot on the screen: the product's plot painter over the whole widget, and the
// mouse and keys handed to the plot's input rules (graph/plot_input.h). Wheel: zoom (Ctrl the
// frequency axis only, Shift the levels only); left drag: zoom box; middle or Ctrl+left drag:
// pan; a move reads the cursor; arrows pan, +/- zoom, F fits, Home resets, 1-4 the level
// presets 90/50/30/15 dB.
#include <QWidget>
#include <string>
#include <vector>

#include "graph/plot_painter.h"
#include "graph/plot_trace.h"
#include "graph/plot_view.h"

namespace quorvel {

class CPlotWidget : public QWidget {
  Q_OBJECT

 public:
  explicit CPlotWidget(QWidget* parent);

  // The traces drawn (their data kept alive by the caller until the next call), the smoothing
  // named in the legend, the levels or the phases; a heading in the smoothing's place.
  void SetTraces(std::vector<PlotTrace> traces, std::string smoothing, bool showPhase,
                 std::string heading = {});
  // What the levels are, named atop the level axis ("dB", "dB SPL", "dBFS").
  // A change to or from dB SPL resets the view onto the traces SetTraces gives next.
  void SetLevelUnit(std::string unit);
  // The cursor's reference, an index into the traces; -1: none.
  void SetReference(int trace);

  CPlotView& View() { return m_view; }
  const CPlotView& View() const { return m_view; }
  [[nodiscard]] PlotScene Scene() const;
  [[nodiscard]] const std::vector<PlotTrace>& Traces() const { return m_traces; }

  // The commands of the window's buttons; each repaints and says when the view changed.
  void Preset(double spanDb);
  void Fit();
  void Reset();
  void Changed();

 signals:
  void ViewChanged();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void ResetIfScaleChanged();
  [[nodiscard]] PlotArea Area() const;
  void MoveCursor(double x);

  CPlotView m_view;
  std::vector<PlotTrace> m_traces;
  std::string m_smoothing;
  std::string m_heading;
  std::string m_levelUnit = "dB";
  bool m_resetPending = false;  // the level unit went to or from dB SPL: Reset with the traces
  bool m_showPhase = false;
  int m_reference = -1;
  double m_cursorHz;
  enum class Drag { kNone, kBox, kPan } m_drag = Drag::kNone;
  QPointF m_pressed;
  QPointF m_last;
  QRectF m_box;
};

}  // namespace quorvel

#include "app/plot_widget.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>
#include <cmath>
#include <utility>

#include "graph/plot_input.h"

namespace quorvel {

CPlotWidget::CPlotWidget(QWidget* parent) : QWidget(parent), m_cursorHz(NAN) {
  setMouseTracking(true);
  setFocusPolicy(Qt::StrongFocus);
  setMinimumSize(400, 240);
}

void CPlotWidget::SetTraces(std::vector<PlotTrace> traces, std::string smoothing, bool showPhase,
                            std::string heading) {
  m_traces = std::move(traces);
  m_smoothing = std::move(smoothing);
  m_heading = std::move(heading);
  m_showPhase = showPhase;
  if (m_reference >= static_cast<int>(m_traces.size())) m_reference = -1;
  ResetIfScaleChanged();
  update();
}

void CPlotWidget::SetLevelUnit(std::string unit) {
  // dB SPL lies some 100 dB above the full-scale levels: a view kept across that jump would
  // show none of the traces
  if ((unit == "dB SPL") != (m_levelUnit == "dB SPL")) m_resetPending = true;
  m_levelUnit = std::move(unit);
  update();
}

void CPlotWidget::ResetIfScaleChanged() {
  if (!m_resetPending || m_traces.empty()) return;
  m_resetPending = false;
  Reset();
}

void CPlotWidget::SetReference(int trace) {
  m_reference = trace;
  MoveCursor(std::isnan(m_cursorHz) ? NAN : m_view.XOfFrequency(Area(), m_cursorHz));
}

PlotScene CPlotWidget::Scene() const {
  PlotScene scene;
  scene.traces = m_traces;
  scene.smoothing = m_smoothing;
  scene.heading = m_heading;
  scene.showLevel = !m_showPhase;
  scene.showPhase = m_showPhase;
  scene.levelUnit = m_levelUnit;
  scene.cursorHz = m_cursorHz;
  scene.referenceTrace = m_reference;
  scene.hasZoomBox = m_drag == Drag::kBox;
  scene.zoomBox = m_box;
  return scene;
}

PlotArea CPlotWidget::Area() const {
  return LayoutPlot(rect(), Scene()).area;
}

void CPlotWidget::Changed() {
  update();
  emit ViewChanged();
}

void CPlotWidget::Preset(double spanDb) {
  if (m_view.ApplyLevelPreset(spanDb, m_traces)) Changed();
}

void CPlotWidget::Fit() {
  if (m_view.Fit(m_traces)) Changed();
}

void CPlotWidget::Reset() {
  if (m_view.Reset(m_traces)) Changed();
}

void CPlotWidget::MoveCursor(double x) {
  m_cursorHz = std::isnan(x) ? NAN : CursorFrequencyAt(m_view, Area(), x);
  update();  // the painter draws the readout beside the cursor
}

void CPlotWidget::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  PaintPlot(painter, rect(), m_view, Scene());
}

void CPlotWidget::wheelEvent(QWheelEvent* event) {
  const Qt::KeyboardModifiers mods = event->modifiers();
  const PlotAxes axes =
      AxesForModifiers(mods.testFlag(Qt::ShiftModifier), mods.testFlag(Qt::ControlModifier));
  // Shift turns some mice's wheel sideways.
  const int delta =
      event->angleDelta().y() != 0 ? event->angleDelta().y() : event->angleDelta().x();
  const QPointF at = event->position();
  if (WheelZoom(m_view, Area(), at.x(), at.y(), delta, axes)) Changed();
  event->accept();
}

void CPlotWidget::mousePressEvent(QMouseEvent* event) {
  m_pressed = m_last = event->position();
  const bool pan =
      event->button() == Qt::MiddleButton ||
      (event->button() == Qt::LeftButton && event->modifiers().testFlag(Qt::ControlModifier));
  if (pan) {
    m_drag = Drag::kPan;
  } else if (event->button() == Qt::LeftButton) {
    m_drag = Drag::kBox;
    m_box = QRectF(m_pressed, m_pressed);
  }
  event->accept();
}

void CPlotWidget::mouseMoveEvent(QMouseEvent* event) {
  const QPointF at = event->position();
  if (m_drag == Drag::kPan) {
    const QPointF step = at - m_last;
    if (DragPan(m_view, Area(), step.x(), step.y())) Changed();
  } else if (m_drag == Drag::kBox) {
    m_box = QRectF(m_pressed, at).normalized();
    update();
  }
  m_last = at;
  MoveCursor(at.x());
}

void CPlotWidget::mouseReleaseEvent(QMouseEvent* event) {
  const Drag drag = m_drag;
  m_drag = Drag::kNone;
  if (drag == Drag::kBox) {
    const QPointF at = event->position();
    if (DragZoomBox(m_view, Area(), m_pressed.x(), m_pressed.y(), at.x(), at.y())) {
      Changed();
    } else {
      update();
    }
  }
}

void CPlotWidget::leaveEvent(QEvent*) {
  if (m_drag == Drag::kNone) MoveCursor(NAN);
}

void CPlotWidget::keyPressEvent(QKeyEvent* event) {
  PlotKey key;
  switch (event->key()) {
    case Qt::Key_Left:
      key = PlotKey::kLeft;
      break;
    case Qt::Key_Right:
      key = PlotKey::kRight;
      break;
    case Qt::Key_Up:
      key = PlotKey::kUp;
      break;
    case Qt::Key_Down:
      key = PlotKey::kDown;
      break;
    case Qt::Key_Plus:
    case Qt::Key_Equal:
      key = PlotKey::kZoomIn;
      break;
    case Qt::Key_Minus:
      key = PlotKey::kZoomOut;
      break;
    case Qt::Key_F:
      key = PlotKey::kFit;
      break;
    case Qt::Key_Home:
      key = PlotKey::kReset;
      break;
    case Qt::Key_1:
      key = PlotKey::kLevel90;
      break;
    case Qt::Key_2:
      key = PlotKey::kLevel50;
      break;
    case Qt::Key_3:
      key = PlotKey::kLevel30;
      break;
    case Qt::Key_4:
      key = PlotKey::kLevel15;
      break;
    default:
      QWidget::keyPressEvent(event);
      return;
  }
  const Qt::KeyboardModifiers mods = event->modifiers();
  const PlotAxes axes =
      AxesForModifiers(mods.testFlag(Qt::ShiftModifier), mods.testFlag(Qt::ControlModifier));
  if (PressPlotKey(m_view, key, axes, m_traces)) Changed();
  event->accept();
}

}  // namespace quorvel

#include "app/level_meter_widget.h"

#include <QPainter>

#include "graph/graph_resources.h"

namespace quorvel {

namespace {

// The meter's outline pen, RGB(232, 232, 232) of the graph's palette.
constexpr int kOutlineColour = 16;

}  // namespace

CLevelMeterWidget::CLevelMeterWidget(const CLevelMeter& meter, QWidget* parent)
    : QWidget(parent), m_meter(meter) {
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void CLevelMeterWidget::Place(const QRect& outer) {
  m_geometry = CLevelMeter::ComputeGeometry(outer.width(), outer.height(), kBorder);
  setGeometry(outer.x(), outer.y(), m_geometry.controlWidth + 2 * kBorder, m_geometry.height);
}

QRect CLevelMeterWidget::SlotRect(int slot) const {
  return QRect(kBorder + CLevelMeter::SlotLeft(m_geometry, slot), kBorder, m_geometry.slotWidth,
               CLevelMeter::SlotHeight(m_geometry));
}

// The meter asks for drawing only when some slot changed; its 31 slots are drawn in one go.
void CLevelMeterWidget::SlotsChanged() {
  update();
}

void CLevelMeterWidget::SetReading(const QString& reading) {
  if (reading == m_reading) return;
  m_reading = reading;
  update();
}

void CLevelMeterWidget::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), palette().color(QPalette::Window));
  painter.setPen(QColor::fromRgb(PaletteColor(kColorFrame)));
  painter.drawRect(rect().adjusted(0, 0, -1, -1));
  for (int slot = 1; slot < CLevelMeter::kSlots; ++slot) {
    int colour = m_meter.SlotColour(slot);
    if (colour == CLevelMeter::kNeverDrawn) colour = CLevelMeter::kColourClosed;
    QColor outline = QColor::fromRgb(PaletteColor(kOutlineColour));
    if (slot == m_meter.PeakSlot()) {
      colour = m_meter.PeakColour();
      outline = QColor(255, 255, 255);
    }
    const QRect r = SlotRect(slot);
    painter.fillRect(r, QColor::fromRgb(PaletteColor(colour)));
    painter.setPen(outline);
    painter.drawRect(r.adjusted(0, 0, -1, -1));
  }
  if (!m_reading.isEmpty()) {
    // black on the grey, green and blue slots alike, on a light band
    const QRect band = rect().adjusted(kBorder, kBorder, -kBorder, -kBorder);
    const int width = painter.fontMetrics().horizontalAdvance(m_reading) + 6;
    const QRect box(band.right() - width + 1, band.top(), width, band.height());
    painter.fillRect(box, QColor(255, 255, 255, 200));
    painter.setPen(QColor(0, 0, 0));
    painter.drawText(box, Qt::AlignCenter, m_reading);
  }
}

}  // namespace quorvel

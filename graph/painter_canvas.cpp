// The graph's canvas on a window: the graph's pixels mapped onto the device's.
#include "graph/painter_canvas.h"

#include <QFontMetrics>
#include <QPaintDevice>
#include <QPainter>
#include <QString>
#include <algorithm>
#include <cmath>

namespace quorvel {

CPainterCanvas::CPainterCanvas(QPainter& painter, int areaHeight, double scaleX, double scaleY)
    : CGraphCanvas(areaHeight),
      m_painter(painter),
      m_scaleX(scaleX > 0.0 ? scaleX : 1.0),
      m_scaleY(scaleY > 0.0 ? scaleY : 1.0),
      m_textScale(std::min(m_scaleX, m_scaleY)),
      m_thickness(std::max(1, static_cast<int>(std::lround(m_textScale)))) {
  const double ratio = painter.device() != nullptr ? painter.device()->devicePixelRatioF() : 1.0;
  m_toDevice = QTransform::fromScale(1.0 / ratio, 1.0 / ratio);
  m_painter.save();
  // device pixels from the painter's own origin (a printed page places the picture with it)
  m_painter.setWorldTransform(m_toDevice, true);
  m_painter.setRenderHint(QPainter::Antialiasing, false);
  m_painter.setRenderHint(QPainter::TextAntialiasing, false);
  m_painter.setBackgroundMode(Qt::TransparentMode);
}

CPainterCanvas::~CPainterCanvas() {
  m_painter.restore();
}

int CPainterCanvas::DeviceX(int x) const {
  return static_cast<int>(std::floor(x * m_scaleX + 0.5));
}

int CPainterCanvas::DeviceY(int y) const {
  return static_cast<int>(std::floor(y * m_scaleY + 0.5));
}

void CPainterCanvas::Run(int fromX, int fromY, int width, int height, uint32_t color) {
  if (width > 0 && height > 0) {
    m_painter.fillRect(QRect(fromX, fromY, width, height), QColor::fromRgb(color));
  }
}

void CPainterCanvas::Line(int x1, int y1, int x2, int y2, uint32_t color) {
  if (y1 == y2) {
    // the pixels x1 up to (not including) x2, in either direction
    const int from = x1 < x2 ? x1 : x2 + 1;
    const int to = x1 < x2 ? x2 : x1 + 1;
    if (x1 != x2) Run(DeviceX(from), DeviceY(y1), DeviceX(to) - DeviceX(from), m_thickness, color);
    return;
  }
  if (x1 == x2) {
    const int from = y1 < y2 ? y1 : y2 + 1;
    const int to = y1 < y2 ? y2 : y1 + 1;
    Run(DeviceX(x1), DeviceY(from), m_thickness, DeviceY(to) - DeviceY(from), color);
    return;
  }
  // A slope: the line between the device pixels its ends map to, stepped as the picture's
  // lines are (one pixel along the major axis at a time, the last one left to the next line),
  // each pixel as thick as the line. A polyline's joints then meet pixel to pixel at any scale,
  // as they do in the picture; a wide pen's separate strokes leave gaps between short steep ones.
  Slope(DeviceX(x1), DeviceY(y1), DeviceX(x2), DeviceY(y2), color);
}

// Bresenham along the major axis from (x1, y1) up to, not including, (x2, y2), as the picture
// draws its lines, each pixel a square of m_thickness; the pixels that share a row (a column, on a
// steep line) go as one run.
void CPainterCanvas::Slope(int x1, int y1, int x2, int y2, uint32_t color) {
  const bool steep = std::abs(y2 - y1) > std::abs(x2 - x1);
  // along: the major axis, across: the minor one
  const int steps = steep ? std::abs(y2 - y1) : std::abs(x2 - x1);
  const int minor = steep ? std::abs(x2 - x1) : std::abs(y2 - y1);
  const int stepAlong = (steep ? y1 < y2 : x1 < x2) ? 1 : -1;
  const int stepAcross = (steep ? x1 < x2 : y1 < y2) ? 1 : -1;
  int along = steep ? y1 : x1;
  int across = steep ? x1 : y1;
  int runFrom = along;  // the first pixel of the current run, along
  int error = steps / 2;
  for (int i = 0; i < steps; ++i) {
    const int last = along;
    along += stepAlong;
    error -= minor;
    const bool turns = error < 0;
    if (turns) error += steps;
    if (!turns && i + 1 < steps) continue;
    const int from = std::min(runFrom, last);
    const int length = std::abs(last - runFrom) + m_thickness;
    if (steep) {
      Run(across, from, m_thickness, length, color);
    } else {
      Run(from, across, length, m_thickness, color);
    }
    if (turns) across += stepAcross;
    runFrom = along;
  }
}

void CPainterCanvas::Rectangle(int left, int top, int right, int bottom, uint32_t frameColor,
                               uint32_t fillColor) {
  if (right - left < 1 || bottom - top < 1) return;
  const int x0 = DeviceX(left);
  const int y0 = DeviceY(top);
  const int x1 = DeviceX(right);
  const int y1 = DeviceY(bottom);
  Run(x0, y0, x1 - x0, y1 - y0, fillColor);
  // the frame keeps to the rectangle's outer edges
  const int t = std::min({m_thickness, x1 - x0, y1 - y0});
  Run(x0, y0, x1 - x0, t, frameColor);
  Run(x0, y1 - t, x1 - x0, t, frameColor);
  Run(x0, y0, t, y1 - y0, frameColor);
  Run(x1 - t, y0, t, y1 - y0, frameColor);
}

// The font at the device's own size, so that its glyphs are hinted for it as the picture's are
// for it (a scaled glyph is drawn unhinted, and a small unhinted zero reads as an 8): its pixel
// size times the text scale, its stretch kept.
const QFont& CPainterCanvas::DeviceFont(const QFont& font) {
  if (!m_hasDeviceFont || !(font == m_fontAsked)) {
    m_fontAsked = font;
    m_deviceFont = font;
    if (font.pixelSize() > 0) {
      m_deviceFont.setPixelSize(
          std::max(1, static_cast<int>(std::lround(font.pixelSize() * m_textScale))));
    }
    m_hasDeviceFont = true;
  }
  return m_deviceFont;
}

void CPainterCanvas::Text(const QFont& font, QRgb color, const QString& text, int x,
                          int baselineRow, Align align) {
  const QFont& deviceFont = DeviceFont(font);
  int left = DeviceX(x);
  if (align != Align::kLeft) {
    const int advance = QFontMetrics(deviceFont, m_painter.device()).horizontalAdvance(text);
    left -= align == Align::kCenter ? advance / 2 : advance;
  }
  m_painter.setFont(deviceFont);
  m_painter.setPen(QColor::fromRgb(color));
  m_painter.drawText(QPoint(left, DeviceY(baselineRow)), text);
}

void PaintAtDeviceResolution(QPainter& painter, const QSize& widgetSize, double ratio,
                             int logicalWidth, int logicalHeight, QImage& picture,
                             const std::function<void(CGraphCanvas&)>& draw) {
  const QSize device(static_cast<int>(std::lround(widgetSize.width() * ratio)),
                     static_cast<int>(std::lround(widgetSize.height() * ratio)));
  if (device.isEmpty() || logicalWidth <= 0 || logicalHeight <= 0) return;
  if (picture.size() != device) picture = QImage(device, QImage::Format_RGB32);
  if (picture.isNull()) return;
  // drawn at a ratio of 1, so that the texts are drawn at their own size, hinted for it
  picture.setDevicePixelRatio(1.0);
  {
    QPainter onPicture(&picture);
    CPainterCanvas canvas(onPicture, logicalHeight,
                          static_cast<double>(device.width()) / logicalWidth,
                          static_cast<double>(device.height()) / logicalHeight);
    draw(canvas);
  }
  picture.setDevicePixelRatio(ratio);
  painter.drawImage(QPoint(0, 0), picture);
}

}  // namespace quorvel

#pragma once

#include <QRgb>
#include <cstdint>

class QFont;
class QString;

namespace quorvel {

// Where the response graph and the chart preview draw, in their own pixel coordinates: the
// off-screen picture pixel for pixel (CPixelCanvas, graph/pixel_canvas.h), or a window at any
// size and scale (CPainterCanvas, graph/painter_canvas.h), which maps each of those pixels onto
// the screen's.
//
// The pen-position rules the geometry is laid out in: a line from (x1, y1) to (x2, y2) covers
// every pixel from the first point up to, but not including, the last one, so a polyline covers
// each joint once and the point a line ends on is left to the next line. Heights are measured
// upward from the bottom edge of the area: height h is row areaHeight - h.
// User-interface thread only.
class CGraphCanvas {
 public:
  enum class Align { kLeft, kCenter, kRight };

  explicit CGraphCanvas(int areaHeight) : m_areaHeight(areaHeight) {}
  virtual ~CGraphCanvas() = default;
  CGraphCanvas(const CGraphCanvas&) = delete;
  CGraphCanvas& operator=(const CGraphCanvas&) = delete;

  // A line, its last point excluded.
  virtual void Line(int x1, int y1, int x2, int y2, uint32_t color) = 0;
  // A rectangle over left..right-1, top..bottom-1: frame in frameColor, inside in fillColor.
  virtual void Rectangle(int left, int top, int right, int bottom, uint32_t frameColor,
                         uint32_t fillColor) = 0;
  // Text with its baseline on row baselineRow and its left edge, centre (half its advance,
  // rounded down, to the left) or right edge at x.
  virtual void Text(const QFont& font, QRgb color, const QString& text, int x, int baselineRow,
                    Align align) = 0;

  int Row(int h) const { return m_areaHeight - h; }

  // The pen position, as a polyline moves it.
  void MoveTo(int x, int y) {
    m_penX = x;
    m_penY = y;
  }
  void LineTo(int x, int y, uint32_t color) {
    Line(m_penX, m_penY, x, y, color);
    MoveTo(x, y);
  }
  // The same with heights instead of rows.
  void MoveToH(int x, int h) { MoveTo(x, Row(h)); }
  void LineToH(int x, int h, uint32_t color) { LineTo(x, Row(h), color); }
  void LineH(int x1, int h1, int x2, int h2, uint32_t color) {
    Line(x1, Row(h1), x2, Row(h2), color);
  }

 private:
  int m_areaHeight;
  int m_penX = 0;
  int m_penY = 0;
};

}  // namespace quorvel

#pragma once

#include <QImage>
#include <cstdint>
#include <cstdlib>

namespace quorvel {

// Lines and rectangles written straight into the graph's RGB32 off-screen picture with the
// pen-position rules the graph's geometry is laid out in: a line from (x1, y1) to (x2, y2) sets
// every pixel from the first point up to, but not including, the last one, so a polyline sets
// each joint once and the point a line ends on is left to the next line. Heights are measured
// upward from the bottom edge of the graph area: height h is row areaHeight - h. Every pixel is
// clipped to the picture, so an area larger than the picture never writes outside it.
// Used on the user-interface thread only, while the picture is not shared.
class CPixelCanvas {
 public:
  CPixelCanvas(QImage& image, int areaHeight)
      : m_bits(reinterpret_cast<uint32_t*>(image.bits())),
        m_stride(static_cast<int>(image.bytesPerLine() / 4)),
        m_width(image.width()),
        m_height(image.height()),
        m_areaHeight(areaHeight) {}

  int Row(int h) const { return m_areaHeight - h; }

  void SetPixel(int x, int y, uint32_t color) {
    if (x >= 0 && y >= 0 && x < m_width && y < m_height) m_bits[y * m_stride + x] = color;
  }

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

  // Bresenham along the major axis, the last point excluded.
  void Line(int x1, int y1, int x2, int y2, uint32_t color) {
    const int dx = std::abs(x2 - x1);
    const int dy = std::abs(y2 - y1);
    const int sx = x1 < x2 ? 1 : -1;
    const int sy = y1 < y2 ? 1 : -1;
    if (dy == 0) {
      ClippedRun(x1, x2, y1, color);
      return;
    }
    if (dx == 0) {
      for (int y = y1; y != y2; y += sy) SetPixel(x1, y, color);
      return;
    }
    int x = x1;
    int y = y1;
    if (dx >= dy) {
      int error = dx / 2;
      for (int i = 0; i < dx; ++i) {
        SetPixel(x, y, color);
        x += sx;
        error -= dy;
        if (error < 0) {
          y += sy;
          error += dx;
        }
      }
    } else {
      int error = dy / 2;
      for (int i = 0; i < dy; ++i) {
        SetPixel(x, y, color);
        y += sy;
        error -= dx;
        if (error < 0) {
          x += sx;
          error += dy;
        }
      }
    }
  }

  // A rectangle over left..right-1, top..bottom-1: frame in frameColor, inside in fillColor.
  void Rectangle(int left, int top, int right, int bottom, uint32_t frameColor,
                 uint32_t fillColor) {
    if (right - left < 1 || bottom - top < 1) return;
    for (int y = top; y < bottom; ++y) {
      const bool edge = y == top || y == bottom - 1;
      if (edge) {
        ClippedRun(left, right, y, frameColor);
      } else {
        SetPixel(left, y, frameColor);
        if (right - left > 2) ClippedRun(left + 1, right - 1, y, fillColor);
        SetPixel(right - 1, y, frameColor);
      }
    }
  }

 private:
  // pixels x1 up to (not including) x2 of row y, in either direction
  void ClippedRun(int x1, int x2, int y, uint32_t color) {
    if (y < 0 || y >= m_height || x1 == x2) return;
    int from = x1 < x2 ? x1 : x2 + 1;
    int to = x1 < x2 ? x2 : x1 + 1;  // exclusive
    if (from < 0) from = 0;
    if (to > m_width) to = m_width;
    uint32_t* row = m_bits + y * m_stride;
    for (int x = from; x < to; ++x) row[x] = color;
  }

  uint32_t* m_bits;
  int m_stride;  // [pixels]
  int m_width;
  int m_height;
  int m_areaHeight;
  int m_penX = 0;
  int m_penY = 0;
};

}  // namespace quorvel

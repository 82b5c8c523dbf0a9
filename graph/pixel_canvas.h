#pragma once

#include <QImage>
#include <QPainter>
#include <QString>
#include <cstdint>
#include <cstdlib>

#include "graph/graph_canvas.h"

namespace quorvel {

// The graph's canvas on its RGB32 off-screen picture: lines and rectangles written straight
// into its pixels, texts through a QPainter on the picture (none given: no texts). Every pixel
// is clipped to the picture, so an area larger than the picture never writes outside it.
// Used on the user-interface thread only, while the picture is not shared.
class CPixelCanvas final : public CGraphCanvas {
 public:
  CPixelCanvas(QImage& image, int areaHeight, QPainter* textPainter = nullptr)
      : CGraphCanvas(areaHeight),
        m_bits(reinterpret_cast<uint32_t*>(image.bits())),
        m_stride(static_cast<int>(image.bytesPerLine() / 4)),
        m_width(image.width()),
        m_height(image.height()),
        m_textPainter(textPainter) {}

  void SetPixel(int x, int y, uint32_t color) {
    if (x >= 0 && y >= 0 && x < m_width && y < m_height) m_bits[y * m_stride + x] = color;
  }

  // Bresenham along the major axis, the last point excluded.
  void Line(int x1, int y1, int x2, int y2, uint32_t color) override {
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

  void Rectangle(int left, int top, int right, int bottom, uint32_t frameColor,
                 uint32_t fillColor) override {
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

  void Text(const QFont& font, QRgb color, const QString& text, int x, int baselineRow,
            Align align) override {
    if (m_textPainter == nullptr) return;
    m_textPainter->setFont(font);
    m_textPainter->setPen(QColor::fromRgb(color));
    int left = x;
    if (align != Align::kLeft) {
      const int advance = m_textPainter->fontMetrics().horizontalAdvance(text);
      left = align == Align::kCenter ? x - advance / 2 : x - advance;
    }
    m_textPainter->drawText(QPoint(left, baselineRow), text);
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
  QPainter* m_textPainter;
};

}  // namespace quorvel

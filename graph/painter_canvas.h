#pragma once

#include <QFont>
#include <QImage>
#include <QTransform>
#include <functional>

#include "graph/graph_canvas.h"

class QPainter;

namespace quorvel {

// The graph's canvas on a window at any size and any scale of the screen: each of the graph's
// own pixels (the pixels its geometry is laid out in) covers scaleX x scaleY pixels of the
// device, and everything is drawn at the device's resolution, never enlarged from a picture.
// A line runs between the device pixels its ends map to, stepped pixel by pixel as the picture's
// lines are, as thick as one of the graph's pixels rounded to whole device pixels (at least
// one), so a polyline stays whole at every scale; texts keep their shape: their fonts grow by
// the smaller of the two scales and are drawn at the device's own size (hinted for it), at the
// places the graph puts them. Colours and geometry stay the graph's own; nothing is antialiased.
// The painter is the caller's, on a widget, an image with its device pixel ratio, a printer or
// a PDF file; the graph's pixel (0, 0) begins at the painter's origin, and the painter's state
// is restored when the canvas goes. User-interface thread only.
class CPainterCanvas final : public CGraphCanvas {
 public:
  // scaleX, scaleY: device pixels per pixel of the graph across and down.
  CPainterCanvas(QPainter& painter, int areaHeight, double scaleX, double scaleY);
  ~CPainterCanvas() override;

  void Line(int x1, int y1, int x2, int y2, uint32_t color) override;
  void Rectangle(int left, int top, int right, int bottom, uint32_t frameColor,
                 uint32_t fillColor) override;
  void Text(const QFont& font, QRgb color, const QString& text, int x, int baselineRow,
            Align align) override;

  // The device pixel where the graph's pixel column x, or row y, begins.
  [[nodiscard]] int DeviceX(int x) const;
  [[nodiscard]] int DeviceY(int y) const;
  // How many device pixels thick a one-pixel line is drawn.
  [[nodiscard]] int Thickness() const { return m_thickness; }

 private:
  void Run(int fromX, int fromY, int width, int height, uint32_t color);
  void Slope(int x1, int y1, int x2, int y2, uint32_t color);
  const QFont& DeviceFont(const QFont& font);

  QPainter& m_painter;
  QTransform m_toDevice;  // painter coordinates are device pixels under it
  double m_scaleX;
  double m_scaleY;
  double m_textScale;
  int m_thickness;
  QFont m_fontAsked;  // the last font asked for, and the same at the device's size
  QFont m_deviceFont;
  bool m_hasDeviceFont = false;
};

// Shows on a widget what `draw` draws on a canvas laid out for logicalWidth x logicalHeight
// pixels, at the widget's size and the screen's resolution: drawn into `picture` (kept by the
// caller between paints) at the widget's size in device pixels, then shown pixel for pixel.
// painter: the widget's; widgetSize [widget pixels]; ratio: the widget's device pixel ratio.
void PaintAtDeviceResolution(QPainter& painter, const QSize& widgetSize, double ratio,
                             int logicalWidth, int logicalHeight, QImage& picture,
                             const std::function<void(CGraphCanvas&)>& draw);

}  // namespace quorvel

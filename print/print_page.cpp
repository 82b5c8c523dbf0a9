// The print picture and the printed page, drawn into any QPainter: an image in the tests, a
// QPrinter (a printer queue or a PDF file) when printing, a QPdfWriter.
#include "print/print_page.h"

#include <QFont>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QImage>
#include <QPaintDevice>
#include <QPainter>
#include <algorithm>
#include <cmath>

#include "graph/graph_resources.h"
#include "graph/graphical.h"
#include "graph/painter_canvas.h"

namespace quorvel {

namespace {

constexpr int kTitleBaseline = 26;  // row of the title's baseline in the band
constexpr double kScreenDpi = 96.0;

// font at `scale` times its size (its character widths follow).
QFont ScaledFont(const QFont& font, double scale) {
  if (!(scale > 0.0)) return font;
  QFont scaled = font;
  if (font.pixelSize() > 0) {
    scaled.setPixelSize(std::max(1, static_cast<int>(std::lround(font.pixelSize() * scale))));
  } else if (font.pointSizeF() > 0.0) {
    scaled.setPointSizeF(font.pointSizeF() * scale);
  }
  return scaled;
}

// The default font at its pixel size on a 96-dpi screen, as a fresh picture draws it: the
// canvas scales it with the picture.
QFont TitleFont() {
  QFont font = QGuiApplication::font();
  if (font.pixelSize() <= 0) {
    font.setPixelSize(
        std::max(1, static_cast<int>(std::lround(font.pointSizeF() * kScreenDpi / 72.0))));
  }
  return font;
}

}  // namespace

void DrawPrintPicture(QPainter& painter, double scale, CGraphical& graph, const QString& title,
                      const CGraphical::View* view) {
  const int w = graph.m_width;
  const int h = graph.m_height;
  if (GraphPicture(graph).isNull() || w <= 0 || h <= 0 || !(scale > 0.0)) return;
  {
    // background and frame over the whole picture, the title in the band
    CPainterCanvas band(painter, h + kTitleBandHeight, scale, scale);
    band.Rectangle(0, 0, w, h + kTitleBandHeight, PaletteColor(kColorFrame),
                   PaletteColor(kColorBackground));
    band.Text(TitleFont(), qRgb(0, 0, 0), title, w / 2, kTitleBaseline,
              CGraphCanvas::Align::kCenter);
  }
  painter.save();
  painter.translate(0.0, std::floor(kTitleBandHeight * scale + 0.5));
  {
    CPainterCanvas below(painter, h, scale, scale);
    static_cast<void>(view != nullptr ? graph.PaintGraph(below, w, h, *view)
                                      : graph.PaintGraph(below, w, h));
  }
  painter.restore();
}

QImage MakePrintPicture(CGraphical& graph, const QString& title, const CGraphical::View* view) {
  if (GraphPicture(graph).isNull() || graph.m_width <= 0 || graph.m_height <= 0) return QImage();
  QImage picture(graph.m_width, graph.m_height + kTitleBandHeight, QImage::Format_RGB32);
  if (picture.isNull()) return picture;
  QPainter painter(&picture);
  DrawPrintPicture(painter, 1.0, graph, title, view);
  return picture;
}

PrintableArea PrintableAreaOf(const QPaintDevice& device) {
  return PrintableArea{QSizeF(device.widthMM(), device.heightMM()),
                       QPointF(device.logicalDpiX(), device.logicalDpiY())};
}

PrintLayout DrawPrintPage(QPainter& painter, CGraphical& graph, const QString& title,
                          const PrintableArea& area, const QFont& captionFont,
                          const CGraphical::View* view) {
  const PrintLayout layout = ComputePrintLayout(graph.m_width, graph.m_height, area.sizeMm.width(),
                                                area.sizeMm.height(), area.dpi.x(), area.dpi.y());
  painter.save();
  painter.translate(layout.pictureLeft, layout.pictureTop);
  DrawPrintPicture(painter, layout.scale, graph, title, view);
  painter.restore();

  // The caption keeps the size it has beside the graph on screen: its font grows with the
  // picture, by E (a 16-pixel font on a 1200 dpi page would be under a point tall).
  painter.save();
  const QString caption = QString::fromLatin1(kPrintCaption);
  painter.setFont(ScaledFont(captionFont, layout.scale));
  painter.setPen(QColor::fromRgb(PaletteColor(kColorCaption)));
  const QFontMetrics metrics = painter.fontMetrics();
  painter.drawText(QPoint(layout.captionRight - metrics.horizontalAdvance(caption),
                          layout.captionTop + metrics.ascent()),
                   caption);
  painter.restore();
  return layout;
}

}  // namespace quorvel

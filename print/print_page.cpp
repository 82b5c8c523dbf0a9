// The print picture and the printed page, drawn into any QPainter: an image in the tests, a
// QPrinter (a printer queue or a PDF file) when printing, a QPdfWriter.
#include "print/print_page.h"

#include <QFont>
#include <QFontMetrics>
#include <QPaintDevice>
#include <QPainter>
#include <algorithm>
#include <cmath>

#include "graph/graph_resources.h"
#include "graph/pixel_canvas.h"

namespace quorvel {

namespace {

constexpr int kTitleBaseline = 26;  // row of the title's baseline in the band

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

}  // namespace

PrintPictureResult MakePrintPicture(const QImage& shown, const QString& title, QImage* picture) {
  const int w = shown.width();
  const int h = shown.height();
  *picture = shown.isNull() ? QImage() : QImage(w, h + kTitleBandHeight, QImage::Format_RGB32);
  if (picture->isNull()) return PrintPictureResult::kNoBitmap;

  // background and frame over the whole picture; the graph then covers all but the band
  CPixelCanvas canvas(*picture, picture->height());
  canvas.Rectangle(0, 0, w, h + kTitleBandHeight, PaletteColor(kColorFrame),
                   PaletteColor(kColorBackground));

  QPainter painter;
  if (!painter.begin(picture)) {
    *picture = QImage();
    return PrintPictureResult::kNoPainter;
  }
  painter.setBackgroundMode(Qt::TransparentMode);
  painter.drawImage(QPoint(0, kTitleBandHeight), shown.convertToFormat(QImage::Format_RGB32));
  painter.setPen(QColor(0, 0, 0));
  const int advance = painter.fontMetrics().horizontalAdvance(title);
  painter.drawText(QPoint(w / 2 - advance / 2, kTitleBaseline), title);
  painter.end();
  return PrintPictureResult::kMade;
}

PrintableArea PrintableAreaOf(const QPaintDevice& device) {
  return PrintableArea{QSizeF(device.widthMM(), device.heightMM()),
                       QPointF(device.logicalDpiX(), device.logicalDpiY())};
}

PrintLayout DrawPrintPage(QPainter& painter, const QImage& picture, const PrintableArea& area,
                          const QFont& captionFont) {
  const PrintLayout layout =
      ComputePrintLayout(picture.width(), picture.height() - kTitleBandHeight, area.sizeMm.width(),
                         area.sizeMm.height(), area.dpi.x(), area.dpi.y());
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing, false);
  painter.setRenderHint(QPainter::SmoothPixmapTransform, layout.scale < 1.0);
  // a PDF keeps the picture's pixels as they are (Qt would store it as JPEG otherwise)
  painter.setRenderHint(QPainter::LosslessImageRendering, true);
  painter.drawImage(
      QRect(layout.pictureLeft, layout.pictureTop, layout.pictureWidth, layout.pictureHeight),
      picture);

  // The caption keeps the size it has beside the graph on screen: its font grows with the
  // picture, by E (a 16-pixel font on a 1200 dpi page would be under a point tall).
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

#pragma once

#include <QImage>
#include <QPointF>
#include <QSizeF>
#include <QString>

#include "print/print_layout.h"

class QFont;
class QPaintDevice;
class QPainter;

namespace quorvel {

inline constexpr int kTitleBandHeight = 40;  // above the graph in the print picture [pixels]
inline constexpr char kPrintCaption[] = "Response curve created with Quorvel";

enum class PrintPictureResult {
  kMade,
  kNoBitmap,   // the picture could not be made
  kNoPainter,  // nothing could draw into it
};

// The print picture for a graph area that shows `shown` (w x h pixels): w x (h + 40) pixels,
// RGB32, framed in the graph's frame colour and filled with its background colour; the shown
// pixels below the 40-pixel title band, and the title in black in the default font, centred on
// x = w / 2 with its baseline on row 26. User-interface thread (the default font needs the
// QGuiApplication).
[[nodiscard]] PrintPictureResult MakePrintPicture(const QImage& shown, const QString& title,
                                                  QImage* picture);

// The printable area of a paint device as the device reports it.
struct PrintableArea {
  QSizeF sizeMm;  // width and height [mm]
  QPointF dpi;    // pixels per inch across (x) and down (y)
};
[[nodiscard]] PrintableArea PrintableAreaOf(const QPaintDevice& device);

// Draws the printed page with painter, whose origin is the top-left corner of the printable
// area: the print picture stretched to its place (ComputePrintLayout), then the caption
// "Response curve created with Quorvel" in captionFont, scaled as the picture is (E), and
// RGB(100,120,250) with its top-right corner at the layout's caption point. An enlarged picture
// keeps its pixels sharp (each becomes a block of the same colour); a shrunk one is smoothed.
// Returns the layout it used. The painter's state is left as it was.
PrintLayout DrawPrintPage(QPainter& painter, const QImage& picture, const PrintableArea& area,
                          const QFont& captionFont);

}  // namespace quorvel

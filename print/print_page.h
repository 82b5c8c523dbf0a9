#pragma once

#include <QPointF>
#include <QSizeF>
#include <QString>

#include "graph/graphical.h"
#include "print/print_layout.h"

class QFont;
class QImage;
class QPaintDevice;
class QPainter;

namespace quorvel {

inline constexpr int kTitleBandHeight = 40;  // above the graph in the print picture [pixels]
inline constexpr char kPrintCaption[] = "Response curve created with Quorvel";

// Draws the print picture with painter, its top-left corner at the painter's origin, scale
// device pixels for each of its own: w x (h + 40) pixels for the graph area of w x h pixels at
// its last paint, framed in the graph's frame colour and filled with its background colour; the
// title in black in the default font (at its size on a 96-dpi screen), centred on x = w / 2 with
// its baseline on row 26; and below the 40-pixel band the graph as the area shows it, drawn
// again through the graph's painter canvas (graph/painter_canvas.h). On a printer or a PDF file
// it is drawn at the device's resolution, in lines and text, never enlarged from pixels. Nothing
// is drawn while the graph has not been painted. User-interface thread (the default font needs
// the QGuiApplication). view (may be null: the shared state's ranges and caption, as the window
// shows them) is what the graph shows.
void DrawPrintPicture(QPainter& painter, double scale, CGraphical& graph, const QString& title,
                      const CGraphical::View* view = nullptr);

// The print picture at its own size, w x (h + 40) pixels in RGB32; a null image while the graph
// has not been painted.
[[nodiscard]] QImage MakePrintPicture(CGraphical& graph, const QString& title,
                                      const CGraphical::View* view = nullptr);

// The printable area of a paint device as the device reports it.
struct PrintableArea {
  QSizeF sizeMm;  // width and height [mm]
  QPointF dpi;    // pixels per inch across (x) and down (y)
};
[[nodiscard]] PrintableArea PrintableAreaOf(const QPaintDevice& device);

// Draws the printed page with painter, whose origin is the top-left corner of the printable
// area: the print picture at its place and scale E (ComputePrintLayout), then the caption
// "Response curve created with Quorvel" in captionFont, scaled as the picture is (E), and
// RGB(100,120,250) with its top-right corner at the layout's caption point. Returns the layout
// it used. The painter's state is left as it was.
PrintLayout DrawPrintPage(QPainter& painter, CGraphical& graph, const QString& title,
                          const PrintableArea& area, const QFont& captionFont,
                          const CGraphical::View* view = nullptr);

}  // namespace quorvel

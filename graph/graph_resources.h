#pragma once

#include <QBrush>
#include <QColor>
#include <QFont>
#include <QImage>
#include <QPen>
#include <cstdint>

namespace quorvel {

class CGraphCanvas;
class CGraphical;

// The drawing resources of the response graph: its palette of 18 colours with a one-pixel solid
// pen and a solid brush for each, its three fonts and the off-screen picture. The level meter,
// the chart preview and printing draw with the same palette and fonts.
//
// The fonts are "Courier New" laid out for Windows' fonts; here they are Liberation Mono
// (fonts-liberation2), which has Courier New's metrics and is what fontconfig gives for "Courier
// New", asked for by its own name so that the window and quorvel-cli draw with the same face.
// Each is sized so that its cell (ascent + descent) is at most the asked height and its character
// advance the asked width; the labels' font also keeps its digits as tall as Courier New's
// (Liberation Mono's stand taller in the same cell), so that they clear the ticks above them.
// They are drawn without antialiasing like the rest of the graph and hinted vertically on
// every desktop, so that the pictures are the same at any scale of the screen.
struct CGraphResources {
  static constexpr int kPaletteSize = 18;
  static constexpr int kPaletteRoom = 24;

  QPen m_pens[kPaletteRoom];       // colour i of the palette, width 1, solid
  QBrush m_brushes[kPaletteRoom];  // colour i of the palette, solid
  QFont m_fontSmall;               // labels: cell 14, advance 6, thin
  QFont m_fontMedium;              // caption and marker texts: cell 16, advance 8, thin
  QFont m_fontLarge;               // the main window's start button: cell 29, advance 8, bold
  QImage m_bitmap;                 // the off-screen picture (RGB32), null before the first paint

  // Valid only while PaintGraph runs: where DrawGrid, DrawLevelLabels and the curves draw.
  CGraphCanvas* m_canvas = nullptr;
};

// The face of the graph's fonts, and the height of the labels' digits [pixels].
inline constexpr char kGraphFace[] = "Liberation Mono";
inline constexpr int kLabelDigitHeight = 7;

// Palette indices with a fixed use.
enum GraphColor : int {
  kColorBackground = 0,  // 255, 245, 220: graph background, chart preview, printing
  kColorMarker = 1,      // 0, 0, 240: marker lines and texts
  kColorCaption = 2,     // 100, 120, 250: the caption text
  kColorMajorGrid = 3,   // 240, 60, 240: decade lines and major level lines
  kColorCurve = 4,       // 255, 0, 0: the curve
  kColorMinorGrid = 6,   // 255, 160, 240: minor grid lines
  kColorFrame = 7,       // 128, 128, 128: graph frame; level meter brush
  kColorMeterPen = 16,   // 232, 232, 232: level meter pen
};

// Colour i of the palette (0..17) as an opaque RGB value; black outside the palette.
[[nodiscard]] QRgb PaletteColor(int index);

// The graph's resources, made on first use (a QGuiApplication must exist for the fonts).
// User-interface thread only.
CGraphResources& GraphResources(CGraphical& graph);

// The off-screen picture as the last PaintGraph left it; a null image before the first paint.
// The window copies it to the screen at (0, 0).
[[nodiscard]] const QImage& GraphPicture(const CGraphical& graph);

// A new picture of the graph area's size at the last paint, holding the top-left part of the
// off-screen picture (black where the area is larger than the picture); a null image when
// nothing has been painted yet.
[[nodiscard]] QImage SnapshotBitmap(const CGraphical& graph);

// A font of the given face whose cell (ascent + descent) is at most cellHeight pixels and as
// close to it as the face allows (with digits at most digitHeight pixels tall, when above 0),
// whose digit advance is charWidth pixels, with the given weight (100 thin .. 700 bold), fixed
// pitch, no antialiasing.
[[nodiscard]] QFont MakeCellFont(const char* face, int cellHeight, int charWidth, int weight,
                                 int digitHeight = 0);

}  // namespace quorvel

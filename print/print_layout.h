#pragma once

namespace quorvel {

// Where the print picture and its caption go on the page, in printer pixels from the top-left
// corner of the printable area.
struct PrintLayout {
  double printableWidth = 0.0;   // D [printer pixels]
  double printableHeight = 0.0;  // V [printer pixels]
  double scale = 0.0;            // E: printer pixels per picture pixel
  int pictureLeft = 0;           // the stretched picture's top-left corner
  int pictureTop = 0;
  int pictureWidth = 0;  // its size, truncated
  int pictureHeight = 0;
  int captionRight = 0;  // the caption's top-right corner, truncated
  int captionTop = 0;
};

// The page layout for a graph area of graphWidth x graphHeight pixels (the print picture is
// graphWidth x (graphHeight + 40): its title band and the graph), on a printable area of
// widthMm x heightMm millimetres at dpiX x dpiY printer pixels per inch:
//   D = widthMm * dpiX / 25.4 and V = heightMm * dpiY / 25.4;
//   a landscape page (D > V) gives the picture 96.6 % of D, any other page 95 %;
//   the picture's top-left corner sits at (120, 240), whatever the resolution;
//   the caption's top-right corner at (w * E, (h + 40) * E * 1.15).
// A graph area without pixels, or a printable area without size, gives scale 0 and empty sizes.
[[nodiscard]] PrintLayout ComputePrintLayout(int graphWidth, int graphHeight, double widthMm,
                                             double heightMm, double dpiX, double dpiY);

}  // namespace quorvel

// The printed page's layout on pages of every shape.
#include "print/print_layout.h"

#include <gtest/gtest.h>

#include <cmath>

namespace quorvel {
namespace {

TEST(PrintLayout, PictureFillsItsShareOfThePrintableWidthAndTheCaptionFollowsIt) {
  struct Page {
    const char* name;
    double widthMm, heightMm, dpiX, dpiY;
    double share;  // of the printable width [pixels] the picture must fill
  };
  const Page pages[] = {
      {"A4 landscape", 290, 203, 1200, 1200, 0.966},
      {"A4 portrait", 203, 290, 1200, 1200, 0.95},
      {"square: not landscape", 200, 200, 600, 600, 0.95},
      // landscape is decided in printer pixels, not millimetres
      {"narrow in mm, wide in pixels", 100, 150, 1200, 300, 0.966},
      {"wide in mm, narrow in pixels", 150, 100, 300, 1200, 0.95},
  };
  for (const Page& page : pages) {
    SCOPED_TRACE(page.name);
    const PrintLayout layout =
        ComputePrintLayout(1065, 455, page.widthMm, page.heightMm, page.dpiX, page.dpiY);
    EXPECT_EQ(layout.pictureLeft, 120);
    EXPECT_EQ(layout.pictureTop, 240);
    EXPECT_NEAR(layout.pictureWidth, std::floor(page.share * page.widthMm / 25.4 * page.dpiX), 1);
    // the 1065 x 495 picture keeps its proportions; the caption's right edge lies 120 pixels
    // left of the picture's, its top at 1.15 picture heights
    EXPECT_NEAR(layout.pictureHeight, layout.pictureWidth * 495.0 / 1065.0, 1.0);
    EXPECT_EQ(layout.captionRight, layout.pictureWidth);
    EXPECT_NEAR(layout.captionTop, 1.15 * layout.pictureHeight, 1.5);
  }
  // no graph area, or a printer reporting nonsense: an empty picture
  EXPECT_EQ(ComputePrintLayout(0, 455, 290, 203, 1200, 1200).pictureWidth, 0);
  EXPECT_EQ(ComputePrintLayout(1065, 455, 290, 203, std::nan(""), 1200).pictureHeight, 0);
}

}  // namespace
}  // namespace quorvel

// The printed page's arithmetic, kept apart from any printer so that it can be checked alone.
#include "print/print_layout.h"

#include <cmath>

namespace quorvel {

namespace {

constexpr double kMmPerInch = 25.4;
constexpr double kLandscapeShare = 0.966;  // of the printable width the picture fills
constexpr double kPortraitShare = 0.95;
constexpr int kPictureLeft = 120;  // [printer pixels]
constexpr int kPictureTop = 240;
constexpr int kTitleBand = 40;           // [picture pixels]
constexpr double kCaptionDrop = 1.15;    // the caption's top, in picture heights from the top
constexpr double kLimit = 1073741823.0;  // far beyond any page, well inside int

// Truncated toward zero, as the printer's integer coordinates take it; nonsense stays finite.
int Truncate(double value) {
  if (!std::isfinite(value)) return 0;
  return static_cast<int>(std::fmax(-kLimit, std::fmin(kLimit, value)));
}

}  // namespace

PrintLayout ComputePrintLayout(int graphWidth, int graphHeight, double widthMm, double heightMm,
                               double dpiX, double dpiY) {
  PrintLayout layout;
  layout.pictureLeft = kPictureLeft;
  layout.pictureTop = kPictureTop;
  layout.printableWidth = widthMm * dpiX / kMmPerInch;
  layout.printableHeight = heightMm * dpiY / kMmPerInch;
  const double d = layout.printableWidth;
  if (graphWidth <= 0 || graphHeight < 0 || !(d > 0.0) || !std::isfinite(d)) return layout;

  const double w = graphWidth;
  const double pictureHeight = static_cast<double>(graphHeight) + kTitleBand;
  layout.scale = d / w * (d > layout.printableHeight ? kLandscapeShare : kPortraitShare);
  layout.pictureWidth = Truncate(w * layout.scale);
  layout.pictureHeight = Truncate(pictureHeight * layout.scale);
  layout.captionRight = Truncate(w * layout.scale);
  layout.captionTop = Truncate(pictureHeight * layout.scale * kCaptionDrop);
  return layout;
}

}  // namespace quorvel

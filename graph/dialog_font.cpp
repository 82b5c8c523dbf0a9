// The windows' dialog font, and a font that keeps a text within its box.
#include "graph/dialog_font.h"

#include <QFontMetrics>
#include <algorithm>

namespace quorvel {

namespace {

constexpr char kDialogFace[] = "Liberation Sans";
constexpr int kDialogPixelSize = 11;
constexpr int kLeastStretch = 50;  // [%] narrower than this reads no better than cut off

// the width of its longest line, as a label lays it out
int WidestLine(const QFont& font, const QString& text) {
  return QFontMetrics(font).size(0, text).width();
}

}  // namespace

QFont DialogFont() {
  QFont font{QString::fromLatin1(kDialogFace)};
  font.setStyleHint(QFont::SansSerif);
  font.setPixelSize(kDialogPixelSize);
  return font;
}

QFont FittingFont(const QFont& font, const QString& text, int width) {
  const int widest = WidestLine(font, text);
  if (widest <= width || widest <= 0 || width <= 0) return font;
  QFont fitting = font;
  // from the proportion down, a percent at a time, as hinting rounds the advances
  const int own = font.stretch() > 0 ? font.stretch() : 100;  // 0: the face's own width
  for (int stretch = std::min(own - 1, own * width / widest); stretch >= kLeastStretch; --stretch) {
    fitting.setStretch(stretch);
    if (WidestLine(fitting, text) <= width) break;
  }
  return fitting;
}

}  // namespace quorvel

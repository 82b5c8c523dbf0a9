#pragma once

#include <QFont>
#include <QString>

namespace quorvel {

// The font of the windows' templates, "MS Shell Dlg" at 8 points on a 96-dpi screen (11
// pixels), which their dialog units (6 x 13 pixels) and the sizes of their texts' boxes are
// made for. Here it is Liberation Sans (fonts-liberation2, with Arial's metrics), asked for by
// its own name: the desktop's own sans-serif (DejaVu Sans on Debian) is wider, and "+12dB" would
// lose its "B". User-interface thread (a QGuiApplication must exist).
[[nodiscard]] QFont DialogFont();

// font, condensed just enough that every line of text is at most width pixels wide as
// QFontMetrics::size lays it out; font itself when the text fits.
[[nodiscard]] QFont FittingFont(const QFont& font, const QString& text, int width);

}  // namespace quorvel

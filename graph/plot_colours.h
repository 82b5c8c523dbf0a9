#pragma once
// The colours of the views of a response and of a series: curves told apart by readers with
// the common colour-vision deficiencies and in grey print, and a level scale for maps.
#include <QColor>

namespace quorvel {

// Okabe and Ito's eight colours, which stay apart for the common colour-vision deficiencies:
// the curves of a plot of several (a polar plot's frequencies). index wraps round.
[[nodiscard]] QColor SeriesColour(int index);

// The distortion plot's curves: each also apart from the others in grey (black, a dark blue, a
// mid vermillion, the noise floor a light grey area under them) and in its pen's style.
inline constexpr QRgb kHarmonic2Rgb = 0xffd55e00;     // vermillion, solid
inline constexpr QRgb kHarmonic3Rgb = 0xff0072b2;     // blue, dashed
inline constexpr QRgb kThdRgb = 0xff000000;           // black, two pixels wide
inline constexpr QRgb kNoiseFloorRgb = 0xffc8c8c8;    // light grey, filled up to the floor
inline constexpr QRgb kInvalidShadeRgb = 0xffe6dccb;  // a gate's invalid band, on the background

// The level scale from the lowest level shown (t = 0, dark blue-violet) to the highest (t = 1,
// yellow), its lightness rising all the way (as viridis), so that it also reads in grey; t is
// clamped to 0 .. 1.
[[nodiscard]] QColor LevelScaleColour(double t);

}  // namespace quorvel

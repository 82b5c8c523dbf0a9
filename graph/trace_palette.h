#pragma once

#include <array>
#include <cstdint>

namespace quorvel {

// The looks of the workbench's traces: sixteen colours that colour-blind readers tell apart, and
// line styles that carry on where colours alone no longer do.
//
// The colours are taken from Paul Tol's qualitative schemes ("bright", "vibrant", "muted",
// "medium-contrast" and "high-contrast"; P. Tol, "Colour Schemes", SRON technical note
// SRON/EPS/TN/09-002, https://personal.sron.nl/~pault/) and from Okabe and Ito's set
// (M. Okabe, K. Ito, "Color Universal Design", 2008, https://jfly.uni-koeln.de/color/). Of those
// 34 colours these sixteen were chosen as the set whose closest pair is farthest apart: every
// two of them differ by at least 7 CIEDE2000 units for normal vision and for protanopia and
// deuteranopia (Machado, Oliveira and Fernandes' simulation at full severity), and each group
// of eight that shares a line style by at least 10. The palest colours of those schemes (Tol's
// sand and pale cyan, Okabe and Ito's yellow, light grey) are left out: each colour has at least
// 2:1 contrast on the plots' white. The first four colours of each group lie at least 9 units of
// CIELAB lightness apart, so that the first traces stay apart in a grey print.
struct TraceRgb {
  uint8_t red = 0;
  uint8_t green = 0;
  uint8_t blue = 0;
  constexpr bool operator==(const TraceRgb&) const = default;
};

enum class TraceLineStyle { kSolid, kDashed, kDotted };

struct PaletteLook {
  TraceRgb colour;
  TraceLineStyle style = TraceLineStyle::kSolid;
};

inline constexpr int kTraceColourCount = 16;

// The sixteen colours: the first eight drawn solid, the next eight dashed.
[[nodiscard]] const std::array<TraceRgb, kTraceColourCount>& TraceColours();

// A colour in CIELAB (D65 white).
struct CieLab {
  double l = 0.0;
  double a = 0.0;
  double b = 0.0;
};
[[nodiscard]] CieLab LabOf(TraceRgb srgb);
// The CIEDE2000 colour difference: about 1 is the least a viewer sees side by side; above 30
// two colours are not taken for each other in thin lines.
[[nodiscard]] double ColourDifference(const CieLab& first, const CieLab& second);
[[nodiscard]] double ColourDifference(TraceRgb first, TraceRgb second);

// The main window's live curve, as the graph draws it.
inline constexpr TraceRgb kLiveCurveColour{0xFF, 0x00, 0x00};
// Closer than this to the live curve's red a trace on the main graph would be taken for it.
inline constexpr double kLeastDifferenceToLiveCurve = 30.0;

// The colour the main graph draws a trace of this colour in: its own, unless it lies within
// kLeastDifferenceToLiveCurve of the live curve. The palette's four reds are then drawn each in
// its own stand-in (Tol's high-contrast blue, muted teal and medium-contrast dark yellow, and a
// dark grey), any other such colour in the first of them.
[[nodiscard]] TraceRgb MainGraphColour(TraceRgb colour);

// The look of the index-th trace (from 0): traces 0-7 solid in the first eight colours, 8-15
// dashed in the other eight, then dotted, solid, ... so that no two of the first 48 traces look
// alike. A negative index counts as 0.
[[nodiscard]] PaletteLook TraceLookAt(int index);

}  // namespace quorvel

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

// The look of the index-th trace (from 0): traces 0-7 solid in the first eight colours, 8-15
// dashed in the other eight, then dotted, solid, ... so that no two of the first 48 traces look
// alike. A negative index counts as 0.
[[nodiscard]] PaletteLook TraceLookAt(int index);

}  // namespace quorvel

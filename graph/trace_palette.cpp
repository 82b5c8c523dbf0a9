// The workbench's trace colours and line styles.
#include "graph/trace_palette.h"

#include <cstddef>

namespace quorvel {

namespace {

constexpr int kColoursPerStyle = 8;

constexpr std::array<TraceRgb, kTraceColourCount> kColours{{
    // drawn solid
    {0x00, 0x00, 0x00},  // black (Okabe-Ito)
    {0xCC, 0x33, 0x11},  // red (Tol vibrant)
    {0x66, 0x99, 0xCC},  // light blue (Tol medium-contrast)
    {0x88, 0x22, 0x55},  // wine (Tol muted)
    {0x00, 0x9E, 0x73},  // bluish green (Okabe-Ito)
    {0x00, 0x72, 0xB2},  // blue (Okabe-Ito)
    {0x99, 0x99, 0x33},  // olive (Tol muted)
    {0x33, 0x22, 0x88},  // indigo (Tol muted)
    // drawn dashed
    {0x99, 0x44, 0x55},  // dark red (Tol medium-contrast)
    {0xDD, 0xAA, 0x33},  // yellow (Tol high-contrast)
    {0x22, 0x88, 0x33},  // green (Tol bright)
    {0xEE, 0x66, 0x77},  // red (Tol bright)
    {0x33, 0xBB, 0xEE},  // cyan (Tol vibrant)
    {0xAA, 0x33, 0x77},  // purple (Tol bright)
    {0xCC, 0x79, 0xA7},  // reddish purple (Okabe-Ito)
    {0xEE, 0x99, 0xAA},  // light red (Tol medium-contrast)
}};

}  // namespace

const std::array<TraceRgb, kTraceColourCount>& TraceColours() {
  return kColours;
}

PaletteLook TraceLookAt(int index) {
  const int i = index < 0 ? 0 : index;
  constexpr TraceLineStyle kStyles[] = {TraceLineStyle::kSolid, TraceLineStyle::kDashed,
                                        TraceLineStyle::kDotted};
  return {kColours[static_cast<std::size_t>(i % kTraceColourCount)],
          kStyles[(i / kColoursPerStyle) % 3]};
}

}  // namespace quorvel

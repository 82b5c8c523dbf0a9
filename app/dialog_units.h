#pragma once

#include <QRect>

namespace quorvel {

// The window is laid out in dialog units at the base units 6 x 13 pixels: x * 6 / 4 across and
// y * 13 / 8 down, rounded to the nearest pixel. The graph area, 710 x 280 units, is then
// 1065 x 455 pixels, the size the graph's plot geometry is made for.
inline constexpr int kBaseUnitX = 6;
inline constexpr int kBaseUnitY = 13;

[[nodiscard]] constexpr int DialogUnitsX(int units) {
  return (units * kBaseUnitX * 2 + 4) / 8;
}
[[nodiscard]] constexpr int DialogUnitsY(int units) {
  return (units * kBaseUnitY * 2 + 8) / 16;
}
// A control's rectangle from its position and size in dialog units.
[[nodiscard]] inline QRect DialogRect(int x, int y, int width, int height) {
  const int left = DialogUnitsX(x);
  const int top = DialogUnitsY(y);
  return QRect(left, top, DialogUnitsX(x + width) - left, DialogUnitsY(y + height) - top);
}

static_assert(DialogUnitsX(710) == 1065 && DialogUnitsY(280) == 455,
              "the graph area is 1065 x 455 pixels");

}  // namespace quorvel

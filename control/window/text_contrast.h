#pragma once

// The text colour of a coloured button: black or white, whichever stands out more from the
// button's face, by the contrast ratio of the Web Content Accessibility Guidelines
// ((L1 + 0.05) / (L2 + 0.05) of the two colours' relative luminances, 1 to 21). Black text on
// every light face, white on a dark theme's faces. Plain arithmetic, any thread.

namespace quorvel {

struct RgbColour {
  int red = 0;  // 0..255 each
  int green = 0;
  int blue = 0;
  bool operator==(const RgbColour&) const = default;
};

inline constexpr RgbColour kBlackText{0, 0, 0};
inline constexpr RgbColour kWhiteText{255, 255, 255};

// The contrast ratio of two colours, 1 (the same luminance) to 21 (black and white).
[[nodiscard]] double ContrastRatio(RgbColour a, RgbColour b);

// Black, unless white contrasts more with the face.
[[nodiscard]] RgbColour TextColourOn(RgbColour face);

}  // namespace quorvel

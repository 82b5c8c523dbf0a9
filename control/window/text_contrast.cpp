#include "control/window/text_contrast.h"

#include <algorithm>
#include <cmath>

namespace quorvel {

namespace {

// One sRGB channel (0..255) as linear light (0..1).
double Linear(int channel) {
  const double c = std::clamp(channel, 0, 255) / 255.0;
  return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

double RelativeLuminance(RgbColour colour) {
  return 0.2126 * Linear(colour.red) + 0.7152 * Linear(colour.green) + 0.0722 * Linear(colour.blue);
}

}  // namespace

double ContrastRatio(RgbColour a, RgbColour b) {
  const double la = RelativeLuminance(a);
  const double lb = RelativeLuminance(b);
  return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

RgbColour TextColourOn(RgbColour face) {
  return ContrastRatio(kWhiteText, face) > ContrastRatio(kBlackText, face) ? kWhiteText
                                                                           : kBlackText;
}

}  // namespace quorvel

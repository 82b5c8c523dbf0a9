// The coloured buttons' caption colour on light and dark faces, by the contrast ratio of the
// Web Content Accessibility Guidelines.
#include "control/window/text_contrast.h"

#include <gtest/gtest.h>

namespace quorvel {

TEST(TextContrast, TheCaptionTakesTheColourThatStandsOutFromTheFace) {
  const struct {
    RgbColour face, text;
    double ratio;
  } cases[] = {
      {{239, 239, 239}, kBlackText, 18.26},  // a light theme's button face
      {{100, 150, 250}, kBlackText, 7.28},   // smoothing on
      {{53, 53, 53}, kWhiteText, 12.27},     // a dark theme's button face
      {{119, 119, 119}, kBlackText, 4.69},   // #777777: white on it would be the known 4.48
  };
  for (const auto& c : cases) {
    EXPECT_EQ(TextColourOn(c.face), c.text) << c.face.red;
    EXPECT_NEAR(ContrastRatio(c.face, c.text), c.ratio, 0.005) << c.face.red;
  }
}

}  // namespace quorvel

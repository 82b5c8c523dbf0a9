// The coloured buttons' caption colour on light and dark faces.
#include "control/text_contrast.h"

#include <gtest/gtest.h>

namespace quorvel {

namespace {

TEST(TextContrast, TheCaptionTakesTheColourThatStandsOutFromTheFace) {
  const struct {
    RgbColour face;
    RgbColour text;
    double ratio;  // of the text on the face, as the Web Content Accessibility Guidelines give it
  } cases[] = {
      {{239, 239, 239}, kBlackText, 18.26},  // a light theme's button face
      {{180, 255, 180}, kBlackText, 17.90},  // the start button
      {{100, 150, 250}, kBlackText, 7.28},   // smoothing on
      {{53, 53, 53}, kWhiteText, 12.27},     // a dark theme's button face
      {{49, 54, 59}, kWhiteText, 12.20},
      {{119, 119, 119}, kBlackText, 4.69},  // #777777: white on it would be the known 4.48
      {{0, 0, 0}, kWhiteText, 21.0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(TextColourOn(c.face), c.text) << c.face.red;
    EXPECT_NEAR(ContrastRatio(c.face, c.text), c.ratio, 0.005) << c.face.red;
    EXPECT_EQ(ContrastRatio(c.face, c.face), 1.0);
  }
}

}  // namespace

}  // namespace quorvel

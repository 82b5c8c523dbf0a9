// Axis labels: FormatAxisNumber, the level labels, the marker's rounded frequency and its texts,
// also in a locale that writes a decimal comma.
#include <gtest/gtest.h>

#include <string>

#include "graph/graph_scales.h"
#include "graph/graphical.h"
#include "tests/base/decimal_comma_locale.h"

namespace quorvel {

namespace {

std::string Format(int width, double value) {
  return CGraphical::FormatAxisNumber(width, value);
}

TEST(FormatAxisNumber, IntegersFitTheWidth) {
  EXPECT_EQ(Format(6, 20.0), "20");
  EXPECT_EQ(Format(6, 20000.0), "20000");
  EXPECT_EQ(Format(6, 200000.0), "200000");
  EXPECT_EQ(Format(6, 1234567.0), "1234e3");
  EXPECT_EQ(Format(8, -90.0), "-90");
  EXPECT_EQ(Format(8, 0.0), "0");
  EXPECT_EQ(Format(3, -1234.0), "-1e3");  // a negative label gets one more character
}

TEST(FormatAxisNumber, FractionsKeepTheirSignificantDigits) {
  EXPECT_EQ(Format(6, 2.5), "2.5");
  EXPECT_EQ(Format(6, 0.000123), "0.0001");
  EXPECT_EQ(Format(6, 3.14159), "3.142");
  EXPECT_EQ(Format(6, -1.5), "-1.5");
  EXPECT_EQ(Format(6, 0.25), "0.25");
  EXPECT_EQ(Format(3, 12.5), "13");  // too long for a fraction: the integer form, rounded
}

TEST(FormatAxisNumber, ExponentsAreTidied) {
  // 1.234e-05 loses the exponent's zero, then digits until it fits
  EXPECT_EQ(Format(6, 0.00001234), "1.2e-5");
  // an exponent of two digits keeps both
  EXPECT_EQ(Format(7, 1.5e-10), "1.5e-10");
  // padding goes into the fraction, never into a mantissa without a point
  EXPECT_EQ(Format(8, 1.5e-5), "1.500e-5");
  EXPECT_EQ(Format(6, 1e-5), "1e-5");
}

TEST(FormatAxisNumber, CharBufferFormIsBoundedAndTerminated) {
  char small[4];
  CGraphical::FormatAxisNumber(small, sizeof small, 6, 20000.0);
  EXPECT_STREQ(small, "200");
  char out[32];
  CGraphical::FormatAxisNumber(out, sizeof out, 6, 140.0);
  EXPECT_STREQ(out, "140");
}

TEST(LevelLabels, ReadMinus90To0InStepsOf6) {
  // the level axis labels every third row from -90 at the axis to 0 at the top, 6 dB apart
  double v = -90.0;
  const double step = (0.0 - -90.0) / 15;
  for (int i = 0; i <= 15; ++i) {
    char label[32];
    FormatLevelLabel(label, sizeof label, v);
    EXPECT_EQ(std::string(label), std::to_string(-90 + 6 * i));
    v += step;
  }
}

TEST(LevelLabels, RoundForLabelKeepsThreeDigits) {
  char label[32];
  FormatLevelLabel(label, sizeof label, -3.14159);
  EXPECT_STREQ(label, "-3.14");
  FormatLevelLabel(label, sizeof label, 0.009);
  EXPECT_STREQ(label, "0");
  FormatLevelLabel(label, sizeof label, 99.96);
  EXPECT_STREQ(label, "100");
}

TEST(MarkerFrequency, IsRoundedForItsLabel) {
  // marker at point 499 of a 20..20000 Hz display: 20*1000^0.5 = 632.455.. -> 632
  EXPECT_DOUBLE_EQ(MarkerFrequency(499, 20.0, 20000.0), 632.0);
  // point 999: 20000 Hz, already round
  EXPECT_DOUBLE_EQ(MarkerFrequency(999, 20.0, 20000.0), 20000.0);
}

TEST(MarkerTexts, AreTheFrequencyInGAndTheLevelWithTwoDecimals) {
  EXPECT_EQ(MarkerFrequencyText(632.0), "632 Hz");
  EXPECT_EQ(MarkerFrequencyText(1.25), "1.25 Hz");
  EXPECT_EQ(MarkerFrequencyText(20000.0), "20000 Hz");
  EXPECT_EQ(MarkerFrequencyText(1234567.0), "1.23457e+06 Hz");
  EXPECT_EQ(MarkerLevelText(-3.14159), "-3.14 dB");
  EXPECT_EQ(MarkerLevelText(0.0), "0.00 dB");
}

TEST(AxisLabels, KeepTheirDecimalPointInADecimalCommaLocale) {
  QUORVEL_IN_DECIMAL_COMMA_LOCALE(comma);
  EXPECT_EQ(Format(6, 2.5), "2.5");
  EXPECT_EQ(Format(6, 3.14159), "3.142");
  EXPECT_EQ(Format(6, 0.00001234), "1.2e-5");
  EXPECT_EQ(Format(8, 1.5e-5), "1.500e-5");
  EXPECT_EQ(Format(6, 12.5e3), "12500");
  EXPECT_EQ(Format(6, 1.25e7), "1250e4");
  char label[32];
  FormatLevelLabel(label, sizeof label, -3.14159);
  EXPECT_STREQ(label, "-3.14");
  EXPECT_EQ(MarkerFrequencyText(1.25), "1.25 Hz");
  EXPECT_EQ(MarkerLevelText(-3.14159), "-3.14 dB");
}

}  // namespace

}  // namespace quorvel

// Numbers in texts: printf's and scanf's C-locale forms, also while the process runs in a
// locale that writes a decimal comma.
#include "base/number_text.h"
#include "base/util.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string>

#include "tests/base/decimal_comma_locale.h"

namespace quorvel {

namespace {

const double kValues[] = {0.0,   -0.0,     100.0,  5000.0,      20.0 / 3.0,
                          0.005, -3.14159, 1234.5, 0.000123456, 1e-300,
                          1e300, 2.5e-7,   99.995, -90.0,       632.4555320336759};

TEST(NumberText, WritesWhatPrintfWritesInTheCLocale) {
  // printf itself, in the C locale, is the reference.
  ASSERT_STREQ(std::setlocale(LC_NUMERIC, nullptr), "C");
  for (double value : kValues) {
    for (int digits : {0, 1, 2, 4, 6}) {
      EXPECT_EQ(FormatFixed(value, digits), CUtil::FormatString("%.*f", digits, value)) << value;
    }
    for (int digits : {1, 2, 3, 4, 6, 10}) {
      EXPECT_EQ(FormatGeneral(value, digits), CUtil::FormatString("%.*g", digits, value)) << value;
    }
  }
}

TEST(NumberText, ReadsWhatScanfReadsInTheCLocale) {
  struct Case {
    const char* text;
    double value;
    size_t used;  // characters of the number; 0: no number
  };
  const Case cases[] = {
      {"100.00-5000.00 Hz", 100.0, 6},
      {"  -2.5e3x", -2500.0, 8},
      {"+7", 7.0, 2},
      {"1,5", 1.0, 1},
      {"0x10", 16.0, 4},
      {"1e999", HUGE_VAL, 5},
      {"1e-999", 0.0, 6},
      {"-", 0.0, 0},
      {"+-1", 0.0, 0},
      {"Hz", 0.0, 0},
      {"", 0.0, 0},
      {".5", 0.5, 2},
  };
  for (const Case& c : cases) {
    double value = -1.0;
    const char* end = c.text + std::strlen(c.text);
    const char* after = ScanDouble(c.text, end, &value);
    // scanf's own reading, in the C locale.
    double reference = -1.0;
    int used = 0;
    const int found = std::sscanf(c.text, "%lf%n", &reference, &used);
    if (c.used == 0) {
      EXPECT_EQ(after, nullptr) << c.text;
      EXPECT_EQ(value, -1.0) << c.text;
      EXPECT_NE(found, 1) << c.text;
      continue;
    }
    ASSERT_NE(after, nullptr) << c.text;
    EXPECT_EQ(static_cast<size_t>(after - c.text), c.used) << c.text;
    EXPECT_EQ(value, c.value) << c.text;
    EXPECT_EQ(value, reference) << c.text;
    EXPECT_EQ(used, static_cast<int>(c.used)) << c.text;
  }
}

TEST(NumberText, KeepsItsDecimalPointInADecimalCommaLocale) {
  // What the C locale writes and reads, taken before the switch.
  std::string fixed[std::size(kValues)];
  std::string general[std::size(kValues)];
  for (size_t i = 0; i < std::size(kValues); ++i) {
    fixed[i] = CUtil::FormatString("%.*f", 2, kValues[i]);
    general[i] = CUtil::FormatString("%.*g", 6, kValues[i]);
  }
  QUORVEL_IN_DECIMAL_COMMA_LOCALE(comma);
  EXPECT_EQ(CUtil::FormatString("%.*f", 2, 100.0), "100,00");  // what the fault looked like
  for (size_t i = 0; i < std::size(kValues); ++i) {
    EXPECT_EQ(FormatFixed(kValues[i], 2), fixed[i]);
    EXPECT_EQ(FormatGeneral(kValues[i], 6), general[i]);
  }
  double value = 0.0;
  const char text[] = "100.25-5000.00 Hz";
  const char* after = ScanDouble(text, text + std::strlen(text), &value);
  ASSERT_NE(after, nullptr);
  EXPECT_EQ(value, 100.25);
  EXPECT_EQ(*after, '-');
}

}  // namespace

}  // namespace quorvel

// Equalizer APO text read back: what the writer writes returns as the same filters, and texts
// that are not an equaliser are refused with the line that is wrong.
#include "eq/eq_apo_reader.h"

#include <gtest/gtest.h>

#include "eq/eq_writers.h"

namespace quorvel {
namespace {

using T = EqFilterType;

TEST(EqApoReader, TheWrittenTextReadsBackAsTheSameFilters) {
  const EqFilterSet set = {-4.2,
                           {{T::kLowShelf, 80.0, 3.5, kShelfQ},
                            {T::kPeaking, 120.0, -5.3, 2.1},
                            {T::kPeaking, 2345.6, -12.0, 0.333},
                            {T::kHighShelf, 8000.0, -2.0, kShelfQ}}};
  EqFilterSet read;
  std::string error;
  ASSERT_TRUE(ReadApoText(ApoText(set), &read, &error)) << error;
  EXPECT_EQ(ApoText(read), ApoText(set));
  ASSERT_EQ(read.filters.size(), set.filters.size());
  EXPECT_DOUBLE_EQ(read.preampDb, -4.2);
  EXPECT_DOUBLE_EQ(read.filters[2].q, 0.333);
  EXPECT_EQ(read.filters[3].type, T::kHighShelf);
}

TEST(EqApoReader, OtherFormsAreReadAndFaultsNameTheirLine) {
  struct Case {
    const char* text;
    int filters;        // read, or -1 for refused
    const char* error;  // the start of the reason when refused
  };
  const Case cases[] = {
      {"# AutoEQ\r\nPreamp: -6.1 dB\r\n\r\nFilter 1: ON LS Fc 105 Hz Gain 5.0 dB Q 0.70\r\n"
       "Filter 2: OFF PK Fc 300 Hz Gain -3 dB Q 1\r\nFilter: ON HS Fc 9000 Hz Gain -1 dB\r\n",
       2, ""},
      {"Preamp: -1 dB\n", 0, ""},
      {"", -1, "no preamp"},
      {"Preamp: 3 dB\n", -1, "line 1:"},
      {"Preamp: -1 dB\nPreamp: -2 dB\n", -1, "line 2:"},
      {"Filter 1: ON PK Fc 1,5 Hz Gain -3 dB Q 1\n", -1, "line 1: the frequency"},
      {"Filter 1: ON PK Fc 100 Hz Gain -3 dB\n", -1, "line 1: a peaking"},
      {"Filter 1: ON PK Fc 100 Hz Gain nan dB Q 1\n", -1, "line 1: the gain"},
      {"Filter 1: ON BP Fc 100 Hz Gain -3 dB Q 1\n", -1, "line 1: the filter type"},
      {"Device: Speakers\n", -1, "line 1: neither"},
      {"Filter 1: ON PK Fc 100 Hz Gain -3 dB Q 0.01\n", -1, "line 1: a peaking"},
  };
  for (const Case& c : cases) {
    EqFilterSet set;
    std::string error;
    const bool ok = ReadApoText(c.text, &set, &error);
    EXPECT_EQ(ok, c.filters >= 0) << c.text << error;
    if (ok) {
      EXPECT_EQ(static_cast<int>(set.filters.size()), c.filters) << c.text;
    } else {
      EXPECT_EQ(error.rfind(c.error, 0), 0u) << c.text << " -> " << error;
    }
  }
  std::string many;
  for (int i = 0; i <= kMaxReadFilters; ++i) many += "Filter: ON PK Fc 100 Hz Gain -1 dB Q 1\n";
  EqFilterSet set;
  std::string error;
  EXPECT_FALSE(ReadApoText(many, &set, &error));
  EXPECT_NE(error.find("more than 64"), std::string::npos) << error;
  EXPECT_FALSE(ReadApoFile("/nonexistent/eq.txt", &set, &error));
  EXPECT_NE(error.find("No such file"), std::string::npos) << error;
}

}  // namespace
}  // namespace quorvel

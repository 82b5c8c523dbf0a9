// Equalizer APO text read back: what the writer writes returns as the same filters, other
// programs' forms are read, and a text that is no equaliser is refused with its wrong line.
#include "eq/eq_apo_reader.h"

#include <sys/stat.h>

#include <cstdio>

#include <gtest/gtest.h>

#include "eq/eq_writers.h"

namespace quorvel {
namespace {

TEST(EqApoReader, ReadsWhatIsWrittenAndNamesTheWrongLine) {
  const EqFilterSet set = {-4.2,
                           {{EqFilterType::kLowShelf, 80.0, 3.5, kShelfQ},
                            {EqFilterType::kPeaking, 2345.6, -12.0, 0.333},
                            {EqFilterType::kHighShelf, 8000.0, -2.0, kShelfQ}}};
  std::string many;
  for (int i = 0; i <= kMaxReadFilters; ++i) many += "Filter: ON PK Fc 100 Hz Gain -1 dB Q 1\n";
  // text, the start of the reason ("": read), the filters read (none when refused)
  const std::tuple<std::string, const char*, size_t> cases[] = {
      {"# AutoEQ\r\nPreamp: -6.1 dB\r\n\r\nFilter 1: ON LS Fc 105 Hz Gain 5.0 dB Q 0.70\r\n"
       "Filter 2: OFF PK Fc 300 Hz Gain -3 dB Q 1\r\nFilter: ON HS Fc 9000 Hz Gain -1 dB\r\n",
       "", 2},
      {"", "no preamp", 0},
      {"Preamp: 3 dB\n", "line 1:", 0},
      {"Filter 1: ON PK Fc 1,5 Hz Gain -3 dB Q 1\n", "line 1: the frequency", 0},
      {"Filter 1: ON PK Fc 100 Hz Gain -3 dB\n", "line 1: a peaking", 0},
      {"Filter 1: ON BP Fc 100 Hz Gain -3 dB Q 1\n", "line 1: the filter type", 0},
      {many, "line 65: more than 64", 0}};
  for (const auto& [text, reason, filters] : cases) {
    const Result<EqFilterSet> read = ReadApoText(text);
    EXPECT_EQ(read.Ok(), reason[0] == '\0') << text << read.Message();
    EXPECT_EQ(read.Message().rfind(reason, 0), 0u) << text << " -> " << read.Message();
    EXPECT_EQ(read ? read->filters.size() : 0u, filters) << text;
  }
  const Result<EqFilterSet> read = ReadApoText(ApoText(set));
  ASSERT_TRUE(read);
  EXPECT_EQ(ApoText(*read), ApoText(set));
  EXPECT_EQ(ReadApoFile("/nonexistent/eq.txt").Message(),
            "/nonexistent/eq.txt: No such file or directory");
  // a named pipe without a writer is refused at once, never waited on
  const std::string fifo = testing::TempDir() + "/eq-fifo.txt";
  std::remove(fifo.c_str());
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_EQ(ReadApoFile(fifo).Message(), fifo + ": not a regular file");
  std::remove(fifo.c_str());
}

}  // namespace
}  // namespace quorvel

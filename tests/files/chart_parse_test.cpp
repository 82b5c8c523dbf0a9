// Tests of the chart line reader and the point table: data and comment lines, separators and
// the look-alike bytes, the one-number line, the 63-character pieces, the 2000-point limit,
// skipped points, and numbers read the same under a locale with a decimal comma.
#include <gtest/gtest.h>
#include <unistd.h>

#include <clocale>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "files/chart_file.h"
#include "tests/files/chart_reference.h"

namespace {

using quorvel::ChartPointTable;
using quorvel::ParseChart;
using quorvel::ParseChartLine;

struct LineCase {
  const char* text;
  int result;
  double frequency;
  double level;
};

TEST(ChartParse, LinePieces) {
  const double nan = std::nan("");
  const LineCase cases[] = {
      {"1000\t-40.2\n", 11, 1000.0, -40.2},
      {"1000 -3.5 45.0 remark\n", 22, 1000.0, -3.5},  // a phase column is ignored
      {".5 3\n", 5, 0.5, 3.0},
      {"1e3 -2.5e-1\n", 12, 1000.0, -0.25},
      {"20,5\n", 5, 20.0, 5.0},  // a decimal comma reads as two fields
      {"20;-1.5;0\n", 10, 20.0, -1.5},
      {"1000Hz -3\n", 10, 1000.0, -3.0},    // letters belong to the first token
      {"1000-3 7\n", 9, 1000.0, 7.0},       // so do signs inside it
      {"1000 dB\n", 8, 1000.0, 0.0},        // a level that does not scan reads as 0
      {"1000 \"-3\"\n", 10, 1000.0, -3.0},  // a quote separates
      {"0 5\n", 4, 0.0, 5.0},
      {"1000 nan\n", 9, 1000.0, nan},
      {"1000\n", -1, 1000.0, 0.0},  // one number: the chart ends here
      {"1000 \t ,\n", -1, 1000.0, 0.0},
      {"1000", -1, 1000.0, 0.0},
      {"", -1, 0.0, 0.0},
      {" 1000 5\n", 8, 0.0, 0.0},  // blank, tab, sign, star, quote, letter: comments
      {"\t1000 5\n", 8, 0.0, 0.0},
      {"-1000 5\n", 8, 0.0, 0.0},
      {"+1000 5\n", 8, 0.0, 0.0},
      {"*1000Hz\t-40.2\n", 14, 0.0, 0.0},
      {"\"Sens -38.2dB\"\n", 15, 0.0, 0.0},
      {"\n", 1, 0.0, 0.0},
  };
  for (const LineCase& c : cases) {
    double f = -1.0;
    double v = -1.0;
    EXPECT_EQ(ParseChartLine(c.text, &f, &v), c.result) << c.text;
    EXPECT_DOUBLE_EQ(f, c.frequency) << c.text;
    if (std::isnan(c.level)) {
      EXPECT_TRUE(std::isnan(v)) << c.text;
    } else {
      EXPECT_DOUBLE_EQ(v, c.level) << c.text;
    }
  }
}

TEST(ChartParse, PiecesOf63Characters) {
  double f = 0.0;
  double v = 0.0;
  // A long comment: its 64th character starts a piece of its own, here a data line.
  const std::string comment = "#" + std::string(62, '-') + "1000 5\n";
  EXPECT_EQ(ParseChartLine(comment.c_str(), &f, &v), 63);
  EXPECT_EQ(ParseChartLine(comment.c_str() + 63, &f, &v), 7);
  EXPECT_DOUBLE_EQ(f, 1000.0);
  EXPECT_DOUBLE_EQ(v, 5.0);
  // A data line cut inside its level reads the part in the first piece only.
  const std::string cut = "100" + std::string(57, ' ') + "-12.5\n";
  EXPECT_EQ(ParseChartLine(cut.c_str(), &f, &v), 63);
  EXPECT_DOUBLE_EQ(v, -12.0);
  // A NUL ends the piece before the LF.
  const char withNul[] = "1000 7\0 9\n";
  EXPECT_EQ(ParseChartLine(withNul, &f, &v), 6);
  EXPECT_DOUBLE_EQ(v, 7.0);
}

// Every byte of 0x80..0xFF placed after the first number either continues its token (the
// level is the number after the next blank) or separates (the level follows at once).
TEST(ChartParse, LookAlikeBytesInTokens) {
  const std::string token = charttest::TokenBytes();
  for (int byte = 0x80; byte <= 0xFF; ++byte) {
    const std::string line = std::string("1000") + static_cast<char>(byte) + "5 7\n";
    double f = 0.0;
    double v = 0.0;
    ParseChartLine(line.c_str(), &f, &v);
    const bool inToken = token.find(static_cast<char>(byte)) != std::string::npos;
    EXPECT_DOUBLE_EQ(v, inToken ? 7.0 : 5.0) << "byte 0x" << std::hex << byte;
  }
}

struct ChartCase {
  const char* name;
  std::string text;
  int count;
  double lastFrequency;
  double lastLevel;
};

TEST(ChartParse, PointTable) {
  std::string many;
  for (int i = 1; i <= 2001; ++i) many += std::to_string(i) + " " + std::to_string(i % 7) + "\n";
  const ChartCase cases[] = {
      {"three pairs", "20 1\n1000 2\n20000 3\n", 3, 20000.0, 3.0},
      {"no frequency, no point", "0 5\n0.0 4\n1000 3\n", 1, 1000.0, 3.0},
      {"single number ends the chart", "100 1\n200\n300 3\n", 2, 200.0, 0.0},
      {"not finite, skipped", "1000 nan\n2000 inf\n1e400 3\n3000 -1.5\n", 1, 3000.0, -1.5},
      {"2001st never read", many, 2000, 2000.0, 2000 % 7},
      {"NUL ends the text",
       std::string("20 1\n30 2\n\0"
                   "40 3\n",
                   16),
       2, 30.0, 2.0},
      {"comments only", "* none\n# none\n", 0, 0.0, 0.0},
      // decimal commas, only where no number line holds a "." and each still holds two numbers
      {"decimal commas", "1000,0\t-2,5\n20;-1,5\n31,5;-0,71\n", 3, 31.5, -0.71},
      {"a point in a comment", "* Sens 12,5 mV/Pa, v1.2\n20,5 -1,25\n", 1, 20.5, -1.25},
      {"a point in a number line", "1000.5 4\n2000,3\n", 2, 2000.0, 3.0},
      {"even an indented one", " 0.5 1\n100,2 3\n", 1, 100.0, 2.0},
      {"whole-number pairs", "20000,-2\n20,5\n", 2, 20.0, 5.0},
      {"a lone number so read", "100,5 -1,5\n200,5\n", 2, 200.0, 5.0},
  };
  ChartPointTable table;
  for (const ChartCase& c : cases) {
    EXPECT_EQ(ParseChart(c.text, &table), c.count) << c.name;
    ASSERT_EQ(table.count, c.count) << c.name;
    if (c.count > 0) {
      EXPECT_NEAR(table.logFrequency[c.count - 1], std::log10(c.lastFrequency), 1e-15) << c.name;
      EXPECT_DOUBLE_EQ(table.level[c.count - 1], c.lastLevel) << c.name;
    }
  }
}

// A locale of its own under a temporary LOCPATH, so the test does not depend on the locales the
// machine has installed. Restores the C locale when done.
class CommaLocale {
 public:
  CommaLocale() {
    m_folder =
        std::filesystem::temp_directory_path() / ("quorvel_locale_" + std::to_string(getpid()));
    std::filesystem::create_directories(m_folder);
    const std::string command =
        "localedef -i de_DE -f UTF-8 '" + m_folder.string() + "/de_DE.UTF-8' >/dev/null 2>&1";
    if (std::system(command.c_str()) != -1) {
      setenv("LOCPATH", m_folder.c_str(), 1);
      m_active = std::setlocale(LC_ALL, "de_DE.UTF-8") != nullptr;
    }
  }
  ~CommaLocale() {
    std::setlocale(LC_ALL, "C");
    unsetenv("LOCPATH");
    std::error_code ec;
    std::filesystem::remove_all(m_folder, ec);
  }
  bool Active() const { return m_active; }

 private:
  std::filesystem::path m_folder;
  bool m_active = false;
};

TEST(ChartParse, NumbersDoNotFollowTheUsersLocale) {
  CommaLocale locale;
  ASSERT_TRUE(locale.Active()) << "localedef (package locales) could not build de_DE.UTF-8";
  ASSERT_DOUBLE_EQ(std::strtod("2,5", nullptr), 2.5);  // the locale is really in force
  double f = 0.0;
  double v = 0.0;
  EXPECT_EQ(ParseChartLine("1000.5 -2.25\n", &f, &v), 13);
  EXPECT_DOUBLE_EQ(f, 1000.5);
  EXPECT_DOUBLE_EQ(v, -2.25);
  EXPECT_EQ(ParseChartLine("20,5\n", &f, &v), 5);
  EXPECT_DOUBLE_EQ(f, 20.0);
  EXPECT_DOUBLE_EQ(v, 5.0);
}

}  // namespace

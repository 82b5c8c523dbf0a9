// quorvel-cli chart, run as a program on chart files of the shapes users bring: the 1002
// resampled entries against an independent reading of the chart rules, on stdout and as a CSV
// file; unusable charts and bad ranges refused with their exit status.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/cli/cli_test_support.h"
#include "tests/files/chart_reference.h"
#include "tests/files/wave_builder.h"

namespace quorvel {

namespace {

struct Entry {
  int index;
  double frequencyHz;
  double levelDb;
};

// The CSV lines after the header; a line that does not scan ends the list.
std::vector<Entry> ParseEntries(const std::string& text) {
  std::istringstream lines(text);
  std::string line;
  std::getline(lines, line);
  EXPECT_EQ(line, "index,frequency_hz,level_db");
  std::vector<Entry> entries;
  while (std::getline(lines, line)) {
    Entry e{};
    if (std::sscanf(line.c_str(), "%d,%lf,%lf", &e.index, &e.frequencyHz, &e.levelDb) != 3) break;
    entries.push_back(e);
  }
  return entries;
}

void ExpectEntries(const std::vector<Entry>& entries, const std::array<double, 1020>& expected,
                   double fmin, double fmax, const char* name) {
  ASSERT_EQ(entries.size(), 1002u) << name;
  for (int k = 0; k < 1002; ++k) {
    const Entry& e = entries[size_t(k)];
    ASSERT_EQ(e.index, k) << name;
    ASSERT_NEAR(e.frequencyHz, fmin * std::pow(fmax / fmin, k / 999.0), 5e-7 * (1.0 + fmax))
        << name << " entry " << k;
    ASSERT_NEAR(e.levelDb, expected[size_t(k)], 0.00005 + 1e-9) << name << " entry " << k;
  }
}

TEST(ChartCommand, ResampledEntriesOfEveryShape) {
  wavetest::ScratchFolder dir;
  for (const auto& sample : charttest::ChartSamples()) {
    const std::string chart = dir.File(std::string(sample.name) + ".frd");
    std::ofstream(chart, std::ios::binary) << sample.bytes;
    const CliOutcome shown = RunCli("chart " + ShellQuote(chart) + " --fmin 31.5 --fmax 16000");
    if (!sample.usable) {
      EXPECT_EQ(shown.status, 1) << sample.name;
      EXPECT_EQ(shown.output, "The response curve of the selected microphone is not valid\n");
      continue;
    }
    ASSERT_EQ(shown.status, 0) << sample.name << shown.output;
    const auto points = charttest::ReferencePoints(sample.bytes);
    ASSERT_TRUE(points.has_value()) << sample.name;
    ExpectEntries(ParseEntries(shown.output), charttest::ReferenceCurve(*points, 31.5, 16000), 31.5,
                  16000, sample.name);
    // the same into a file, over the default range
    const std::string csv = dir.File(std::string(sample.name) + ".csv");
    const CliOutcome written = RunCli("chart " + ShellQuote(chart) + " --csv " + ShellQuote(csv));
    ASSERT_EQ(written.status, 0) << written.output;
    EXPECT_EQ(written.output, "");
    std::ifstream in(csv);
    std::stringstream text;
    text << in.rdbuf();
    ExpectEntries(ParseEntries(text.str()), charttest::ReferenceCurve(*points, 20, 20000), 20,
                  20000, sample.name);
  }
}

TEST(ChartCommand, RefusesMissingChartsAndBadRanges) {
  wavetest::ScratchFolder dir;
  const std::string chart = dir.File("mic.txt");
  std::ofstream(chart) << "20 0\n20000 1\n";
  const struct {
    std::string arguments;
    int status;
  } cases[] = {
      {ShellQuote(dir.File("missing.txt")), 1},
      {ShellQuote(dir.Path().string()), 1},
      {ShellQuote(chart) + " --fmin 0", 2},
      {ShellQuote(chart) + " --fmin 2000 --fmax 1000", 2},
      {ShellQuote(chart) + " --fmax nan", 2},
      // a measurement's range limits (its rows are in tests/control/measurement_request_test.cpp)
      {ShellQuote(chart) + " --fmin 1e-300 --fmax 1e300", 2},
      {ShellQuote(chart) + " --fmin 632.455532 --fmax 632.455532", 2},
      {"", 2},
      {ShellQuote(chart) + " --csv " + ShellQuote(dir.File("no/such/folder.csv")), 1},
      // the chart itself is never the output
      {ShellQuote(chart) + " --csv " + ShellQuote(dir.Path().string() + "/./mic.txt"), 2},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(RunCli("chart " + c.arguments).status, c.status) << c.arguments;
  }
  // a chart written with decimal commas: 31.5 Hz at -0.71 dB
  std::ofstream(chart) << "31,5;-0,71\n1000,0;2,5\n";
  const CliOutcome european = RunCli("chart " + ShellQuote(chart) + " --fmin 31.5 --fmax 1000");
  ASSERT_EQ(european.status, 0);
  EXPECT_NEAR(ParseEntries(european.output).at(0).levelDb, -0.71, 0.00006);
}

TEST(ChartCommand, CsvOntoANamedPipeWithoutAReaderIsRefusedAtOnce) {
  wavetest::ScratchFolder dir;
  const std::string chart = dir.File("mic.txt");
  std::ofstream(chart) << "20 0\n20000 1\n";
  const std::string pipe = dir.File("chart.fifo");
  ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
  // Waiting for a reader would end in the shell's timeout, status 124.
  const CliOutcome run =
      RunCli("chart " + ShellQuote(chart) + " --csv " + ShellQuote(pipe), "timeout 60");
  EXPECT_EQ(run.status, 1) << run.output;
  EXPECT_NE(run.output.find("Could not write the chart to " + pipe), std::string::npos)
      << run.output;
}

}  // namespace

}  // namespace quorvel

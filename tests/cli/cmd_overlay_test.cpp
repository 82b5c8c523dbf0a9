// quorvel-cli overlay run as the program on two measurements of the same simulated loudspeaker,
// saved under the same file name in two folders.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <string>

#include "tests/cli/trace_command_support.h"
#include "tests/files/wave_builder.h"

namespace quorvel {

namespace {

TEST(CmdOverlay, TwoTakesOfOneSpeakerAgreeInTheCsv) {
  wavetest::ScratchFolder dir;
  std::filesystem::create_directories(dir.File("again"));
  const std::string config = dir.File("config");
  const std::string first = dir.File("take.wav"), second = dir.File("again/take.wav");
  ASSERT_TRUE(MeasureCapture(first, config));
  ASSERT_TRUE(MeasureCapture(second, config));
  const std::string env = "XDG_CONFIG_HOME=" + ShellQuote(config);
  const std::string captures = ShellQuote(first) + " " + ShellQuote(second);
  const CliOutcome run =
      RunCli("overlay " + captures + " --smooth 12 --csv " + ShellQuote(dir.File("o.csv")) +
                 " --png " + ShellQuote(dir.File("o")),
             env);
  ASSERT_EQ(run.status, 0) << run.output;
  std::ifstream csv(dir.File("o.csv"));
  std::string header;
  std::getline(csv, header);
  EXPECT_EQ(header, "frequency_hz,take,take (2)");
  const auto rows = NumberRows(dir.File("o.csv"));
  ASSERT_GT(rows.size(), 400u);
  EXPECT_NEAR(rows.front()[0], 20.0, 1e-9);  // the common fmin
  EXPECT_NEAR(rows[48][0], 40.0, 1e-3);      // 1/48 octave a line
  int compared = 0;
  for (const auto& row : rows) {
    if (row[0] < 200.0 || row[0] > 10000.0) continue;
    ASSERT_EQ(row.size(), 3u);
    EXPECT_NEAR(row[1], row[2], 0.1) << row[0];
    ++compared;
  }
  EXPECT_GT(compared, 260);
  // the picture: a PNG of 1065 x 600 pixels, its extension added
  std::ifstream png(dir.File("o.png"), std::ios::binary);
  std::string bytes(24, '\0');
  png.read(bytes.data(), 24);
  EXPECT_EQ(bytes.substr(1, 3), "PNG");
  EXPECT_EQ(bytes.substr(16, 8), std::string("\0\0\x04\x29\0\0\x02\x58", 8));
  // without an output: the summary
  const CliOutcome summary = RunCli("overlay " + captures, env);
  EXPECT_EQ(summary.status, 0);
  EXPECT_NE(summary.output.find("common range: 20-20000 Hz"), std::string::npos) << summary.output;
  EXPECT_NE(summary.output.find("take (2): 20.00-20000.00 Hz, at 1 kHz: -"), std::string::npos);
}

}  // namespace

}  // namespace quorvel

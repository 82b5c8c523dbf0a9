// quorvel-cli spl-calibrate on the simulated microphone holding a 94 dB calibrator, then
// measure and analyze --spl with that calibration; wrong tones refused; a channel's own.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "cli_test_support.h"

namespace quorvel {

namespace {

std::string ReadAll(const std::filesystem::path& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// The levels of a curve CSV, one per line after the header.
std::vector<double> Levels(const std::string& csv) {
  std::vector<double> levels;
  std::istringstream lines(csv);
  std::string line;
  std::getline(lines, line);
  while (std::getline(lines, line)) levels.push_back(std::stod(line.substr(line.rfind(',') + 1)));
  return levels;
}

TEST(SplCalibrate, TheCalibratorsOffsetGivesTheCurveInDbSpl) {
  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("quorvel_spl_" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  const std::string env = "XDG_CONFIG_HOME=" + ShellQuote(dir.string()) +
                          " QUORVEL_SIM_CLOCK_FACTOR=10 QT_QPA_PLATFORM=offscreen";
  const std::string mic = "--input 'Simulated measurement microphone' --gain 0";

  // Nothing calibrated yet: --spl is refused, naming the input.
  CliOutcome run = RunCli("measure --simulated --spl", env);
  EXPECT_EQ(run.status, 2) << run.output;
  EXPECT_NE(run.output.find("\"Simulated measurement microphone\""), std::string::npos);

  // Wrong tones are refused with what was heard.
  run = RunCli("spl-calibrate --simulated --reference 94 --frequency 500",
               env + " QUORVEL_SIM_CALIBRATOR=94");
  EXPECT_EQ(run.status, 1) << run.output;
  EXPECT_NE(run.output.find("holds a tone at 1000."), std::string::npos) << run.output;
  run = RunCli("spl-calibrate --simulated --reference 94", env);  // the quiet room
  EXPECT_EQ(run.status, 1) << run.output;
  EXPECT_NE(run.output.find("holds noise"), std::string::npos) << run.output;
  EXPECT_EQ(RunCli("spl-calibrate --simulated", env).status, 2);

  // 94 dB SPL reads -30 dBFS RMS: the offset is 124 dB.
  run = RunCli("spl-calibrate --simulated --reference 94", env + " QUORVEL_SIM_CALIBRATOR=94");
  ASSERT_EQ(run.status, 0) << run.output;
  const std::string settings = ReadAll(dir / "Velkar" / "Quorvel.conf");
  std::smatch stored;
  ASSERT_TRUE(std::regex_search(
      settings, stored,
      std::regex("\\[SplCalibration\\][^[]*Simulated[^[]*louder 0\\.0 ([0-9.]+)")))
      << settings;
  const double offset = std::stod(stored[1]);
  EXPECT_NEAR(offset, 124.0, 0.1);
  // Each channel has its own calibration: the right one stored beside the louder's.
  run = RunCli("spl-calibrate --simulated --channel right --reference 104",
               env + " QUORVEL_SIM_CALIBRATOR=104");
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_TRUE(std::regex_search(ReadAll(dir / "Velkar" / "Quorvel.conf"),
                                std::regex("right 0\\.0 12[34]\\.[0-9]+; louder 0\\.0 ")));
  run = RunCli("measure --simulated --channel left --spl", env);
  EXPECT_EQ(run.status, 2) << run.output;
  EXPECT_NE(run.output.find("(channel left, gain 0.0 dB)"), std::string::npos) << run.output;

  const std::string capture = ShellQuote((dir / "cap.wav").string());
  run = RunCli("measure --simulated --spl --save " + capture, env);
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_NE(run.output.find(" dB SPL\n"), std::string::npos) << run.output;
  // The same recording in dB of full scale and in dB SPL: each point's block peak less 3.01 dB
  // plus the offset.
  const std::string fs = ShellQuote((dir / "fs.csv").string());
  const std::string spl = ShellQuote((dir / "spl.csv").string());
  ASSERT_EQ(RunCli("analyze " + capture + " --csv " + fs, env).status, 0);
  ASSERT_EQ(RunCli("analyze " + capture + " --spl " + mic + " --csv " + spl, env).status, 0);
  const std::vector<double> dbfs = Levels(ReadAll(dir / "fs.csv"));
  const std::vector<double> dbspl = Levels(ReadAll(dir / "spl.csv"));
  ASSERT_EQ(dbfs.size(), 1001u);
  ASSERT_EQ(dbspl.size(), dbfs.size());
  for (size_t k = 0; k < dbfs.size(); k += 100)
    EXPECT_NEAR(dbspl[k] - dbfs[k], offset - 3.0103, 1e-3);
  EXPECT_EQ(ReadAll(dir / "spl.csv").rfind("index,frequency_hz,level_db_spl\n", 0), 0u);
  std::filesystem::remove_all(dir);
}

}  // namespace

}  // namespace quorvel

// quorvel-cli polar run as the program on a series measured by quorvel-cli measure on the
// simulated loudspeaker turned 0 to 90 degrees (its clock ten times faster than real time):
// the FRD set follows the piston model it was measured through, and bad series are refused.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "audio/sim/loudspeaker_model.h"
#include "audio/sim/piston_directivity.h"
#include "tests/cli/cli_test_support.h"
#include "tests/files/wave_builder.h"

namespace quorvel {

namespace {

class CmdPolarTest : public ::testing::Test {
 protected:
  // One capture of the series, measured again after a dropout of a machine too busy for the
  // ten-times clock.
  void Measure(int angle) {
    const std::string path = m_dir.File("spk hor " + std::to_string(angle) + ".wav");
    CliOutcome run;
    for (int attempt = 0; attempt < 3 && run.status != 0; ++attempt) {
      run = RunCli("measure --simulated --sim-angle " + std::to_string(angle) + " --save " +
                       ShellQuote(path),
                   "QUORVEL_SIM_CLOCK_FACTOR=10 QT_QPA_PLATFORM=offscreen");
    }
    ASSERT_EQ(run.status, 0) << run.output;
  }
  // frequency -> level of an FRD's lines
  std::vector<std::pair<double, double>> Frd(const std::string& name) {
    std::ifstream in(m_dir.File("set/" + name));
    std::vector<std::pair<double, double>> lines;
    for (std::string line; std::getline(in, line);) {
      double f = 0.0;
      double db = 0.0;
      if (line[0] != '*' && std::sscanf(line.c_str(), "%lf %lf", &f, &db) == 2) {
        lines.emplace_back(f, db);
      }
    }
    return lines;
  }
  CliOutcome Polar(const std::string& arguments) {
    return RunCli("polar " + arguments, "XDG_CONFIG_HOME=" + ShellQuote(m_dir.File("config")));
  }

  wavetest::ScratchFolder m_dir;
};

TEST_F(CmdPolarTest, TheFrdSetOfASimulatedSeriesFollowsThePistonModel) {
  for (int angle = 0; angle <= 90; angle += 15) Measure(angle);
  std::filesystem::create_directory(m_dir.File("set"));
  const CliOutcome run =
      Polar(ShellQuote(m_dir.Path().string()) + " --gate 4 --frd-set " +
            ShellQuote(m_dir.File("set")) + " --map " + ShellQuote(m_dir.File("map.png")) +
            " --polar " + ShellQuote(m_dir.File("polar.png")) + " --at 1000,4000");
  ASSERT_EQ(run.status, 0) << run.output;
  const auto axis = Frd("spk hor 0.frd");
  ASSERT_GT(axis.size(), 400u);
  // one overall level (the sweep's, the capture's scale and the model's loss): the median
  // offset on axis
  std::vector<double> offsets;
  for (const auto& [f, db] : axis) {
    if (f >= 300.0 && f <= 15000.0) offsets.push_back(db - CLoudspeakerModel::ResponseDb(f));
  }
  std::nth_element(offsets.begin(), offsets.begin() + offsets.size() / 2, offsets.end());
  const double level = offsets[offsets.size() / 2];
  for (int angle = 0; angle <= 90; angle += 15) {
    const auto lines = Frd("spk hor " + std::to_string(angle) + ".frd");
    ASSERT_EQ(lines.size(), axis.size()) << angle;
    int compared = 0;
    for (size_t k = 0; k < lines.size(); ++k) {
      const double f = lines[k].first;
      // where the piston's lobes stand above -20 dB: a 4 ms gate cannot resolve its nulls
      if (f < 300.0 || f > 15000.0 || std::abs(PistonDirectivity(f, angle)) < 0.1) continue;
      ++compared;
      EXPECT_NEAR(lines[k].second - level, CLoudspeakerModel::ResponseDb(f, angle), 0.5)
          << angle << " degrees, " << f << " Hz";
      EXPECT_NEAR(lines[k].second - axis[k].second,
                  20.0 * std::log10(std::abs(PistonDirectivity(f, angle))), 0.3)
          << angle << " degrees, " << f << " Hz";
    }
    EXPECT_GT(compared, 150) << angle;
  }
  for (const char* picture : {"map.png", "polar.png"}) {
    EXPECT_GT(std::filesystem::file_size(m_dir.File(picture)), 1000u) << picture;
  }
  // refused before anything is read
  std::filesystem::copy_file(m_dir.File("spk hor 15.wav"), m_dir.File("tweeter hor 15.wav"));
  struct Case {
    std::string arguments;
    const char* says;
  } cases[] = {
      {ShellQuote(m_dir.File("spk hor 15.wav")), "the series has no 0 degree capture"},
      {ShellQuote(m_dir.File("spk hor 0.wav")) + " " + ShellQuote(m_dir.File("tweeter hor 15.wav")),
       "more than one series"},
      {ShellQuote(m_dir.File("set")), "no capture of a series"},
      {ShellQuote(m_dir.File("spk hor 0.wav")) + " --polar p.png", "--polar and --at go together"},
      {ShellQuote(m_dir.File("spk hor 0.wav")) + " --gate 0", "the gate is a length"},
      {ShellQuote(m_dir.File("map.png")), "is not named as a capture"},
  };
  for (const Case& c : cases) {
    const CliOutcome refused = Polar(c.arguments);
    EXPECT_EQ(refused.status, 2) << c.arguments;
    EXPECT_NE(refused.output.find(c.says), std::string::npos) << refused.output;
  }
}

}  // namespace

}  // namespace quorvel

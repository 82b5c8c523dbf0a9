// quorvel-cli average run as the program: two equal takes average to the take's own response,
// two positions to the mean of their levels (in dB, or of their powers), and the refusals.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "tests/cli/trace_command_support.h"
#include "tests/files/wave_builder.h"

namespace quorvel {

namespace {

class CmdAverageTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    s_dir = new wavetest::ScratchFolder;
    ASSERT_TRUE(MeasureCapture(File("on.wav"), File("config")));
    ASSERT_TRUE(MeasureCapture(File("off.wav"), File("config"), 30));
    std::filesystem::copy_file(File("on.wav"), File("again.wav"));
    ASSERT_EQ(Cli("response", "on.wav --frd on.frd").status, 0);
    ASSERT_EQ(Cli("response", "off.wav --frd off.frd").status, 0);
  }
  static void TearDownTestSuite() { delete s_dir; }
  static std::string File(const std::string& name) { return s_dir->File(name); }
  // the command in the scratch folder, its relative paths there
  static CliOutcome Cli(const std::string& command, const std::string& arguments) {
    return RunCli(command + " " + arguments,
                  "cd " + ShellQuote(s_dir->File("")) + " && XDG_CONFIG_HOME=config");
  }

  static wavetest::ScratchFolder* s_dir;
};

wavetest::ScratchFolder* CmdAverageTest::s_dir = nullptr;

TEST_F(CmdAverageTest, EqualTakesAverageToTheTakesOwnResponse) {
  const auto own = NumberRows(File("on.frd"));
  for (const char* mode : {"db", "power", "vector"}) {
    const CliOutcome run =
        Cli("average", std::string("on.wav again.wav --mode ") + mode + " --frd mean.frd");
    ASSERT_EQ(run.status, 0) << run.output;
    if (mode[0] == 'v') {
      std::ifstream frd(File("mean.frd"));
      const std::string text{std::istreambuf_iterator<char>(frd), {}};
      EXPECT_NE(text.find("* Source: again (delay 0.000 samples after the first)\n"),
                std::string::npos)
          << text.substr(0, 600);
    }
    const auto mean = NumberRows(File("mean.frd"));
    ASSERT_EQ(mean.size(), own.size()) << mode;
    for (std::size_t k = 0; k < own.size(); ++k) {
      if (own[k][0] < 200.0 || own[k][0] > 10000.0) continue;
      EXPECT_NEAR(mean[k][1], own[k][1], 0.05) << mode << " " << own[k][0];
      // the vector mean keeps the take's phase, timed from the peak as `response` times it
      if (mode[0] == 'v') {
        EXPECT_NEAR(std::remainder(mean[k][2] - own[k][2], 360.0), 0.0, 1.0);
      }
    }
  }
}

TEST_F(CmdAverageTest, TwoPositionsAverageTheirLevelsOrTheirPowers) {
  const auto on = NumberRows(File("on.frd")), off = NumberRows(File("off.frd"));
  ASSERT_EQ(Cli("average", "on.wav off.wav --mode db --frd db.frd").status, 0);
  ASSERT_EQ(
      Cli("average", "on.wav off.wav --mode power --frd power.frd --fmin 100 --fmax 12000").status,
      0);
  const auto db = NumberRows(File("db.frd")), power = NumberRows(File("power.frd"));
  EXPECT_NEAR(power.front()[0], 100.0, 1e-9);
  for (std::size_t k = 0, p = 0; k < on.size(); ++k) {
    while (p < power.size() && power[p][0] < on[k][0] - 1e-3) ++p;
    if (on[k][0] < 200.0 || on[k][0] > 10000.0) continue;
    EXPECT_NEAR(db[k][1], (on[k][1] + off[k][1]) / 2.0, 0.05) << on[k][0];
    const double rms =
        10.0 *
        std::log10((std::pow(10.0, on[k][1] / 10.0) + std::pow(10.0, off[k][1] / 10.0)) / 2.0);
    ASSERT_LT(p, power.size());
    EXPECT_NEAR(power[p][1], rms, 0.05) << on[k][0];
  }
}

TEST_F(CmdAverageTest, RefusesWhatCannotBeAveraged) {
  SweepCapture(File("low.wav"), 20.0, 200.0);
  SweepCapture(File("high.wav"), 2000.0, 20000.0);
  const struct {
    const char* arguments;
    int status;
    const char* says;
  } cases[] = {
      {"on.wav --mode db", 2, "an average needs two or more captures"},
      {"on.wav off.wav --mode median", 2, "quorvel-cli: "},
      {"on.wav off.wav", 2, "--mode db|power|vector is needed"},
      {"on.wav off.wav --mode power --no-align", 2, "--no-align is for --mode vector"},
      {"low.wav high.wav --mode db", 2,
       "The traces have no frequency range in common: high covers 2000-20000 Hz, low 20-200 Hz"},
      {"on.wav off.wav --mode db --fmin 10", 2, "does not lie within the traces' common range"},
      {"on.wav off.wav --mode db --smooth 2.5", 2, "--smooth N smooths over 1/N octave"},
      {"on.wav missing.wav --mode db", 1, "missing.wav gives no response"},
      {"on.wav off.wav --mode db --frd no/such/folder.frd", 1, "no/such/folder.frd"},
      {"on.wav off.wav --mode db --frd on.wav", 2, "names the same file"},
  };
  for (const auto& c : cases) {
    const CliOutcome run = Cli("average", c.arguments);
    EXPECT_EQ(run.status, c.status) << c.arguments << "\n" << run.output;
    EXPECT_NE(run.output.find(c.says), std::string::npos) << c.arguments << "\n" << run.output;
  }
}

}  // namespace

}  // namespace quorvel

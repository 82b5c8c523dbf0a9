// quorvel-cli analyze and measure with a calibration chart, run as the program: the curve with a
// chart equals the curve without it minus the chart, resampled by an independent reading of the
// chart rules, for every chart shape users bring; a capture's microphone looked up in the chart
// folder given on the command line or in the window's settings, or reported as missing; an
// unusable chart refused with its message and exit status 1.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "engine/audio_engine.h"
#include "files/wave_file.h"
#include "tests/cli/cli_test_support.h"
#include "tests/files/chart_reference.h"
#include "tests/files/wave_builder.h"

namespace quorvel {

namespace {

// The levels of a curve CSV, point by point.
std::vector<double> ReadLevels(const std::string& path) {
  std::vector<double> levels;
  std::ifstream in(path);
  std::string line;
  std::getline(in, line);
  while (std::getline(in, line)) {
    int index = 0;
    double frequency = 0.0;
    double level = 0.0;
    if (std::sscanf(line.c_str(), "%d,%lf,%lf", &index, &frequency, &level) == 3) {
      levels.push_back(level);
    }
  }
  return levels;
}

class CalibrationOptionsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // The window's settings of this test only, none to begin with.
    m_config = m_dir.Path() / "config";
    std::filesystem::create_directories(m_config / "Velkar");
    m_charts = m_dir.Path() / "charts";
    std::filesystem::create_directories(m_charts);
  }
  // The generated sweep of fmin..fmax as a capture titled 50..16000 Hz, of microphone `comment`.
  std::string Capture(const char* comment, double fmin = 50.0, double fmax = 16000.0) {
    auto audio = std::make_unique<CAudio>();
    const int length = audio->GenerateSweep(fmin, fmax);
    const std::string path = m_dir.File("capture.wav");
    CWave wave;
    EXPECT_TRUE(wave.CreateCaptureFile(path.c_str()));
    for (int i = 0; i < length; ++i) static_cast<void>(wave.WriteSample(audio->Sweep()[i] / 2));
    std::strcpy(wave.m_szTitle, "50.00-16000.00 Hz");
    std::strcpy(wave.m_szArtist, "Quorvel");
    std::strcpy(wave.m_szComment, comment);
    EXPECT_TRUE(wave.CloseCaptureFile(true));
    return path;
  }
  CliOutcome Cli(const std::string& arguments) {
    return RunCli(arguments, "XDG_CONFIG_HOME=" + ShellQuote(m_config.string()) +
                                 " XDG_DATA_HOME=" + ShellQuote((m_dir.Path() / "data").string()));
  }
  // analyze CAPTURE with the extra arguments; the curve's levels.
  std::vector<double> Analyze(const std::string& capture, const std::string& extra,
                              CliOutcome* outcome = nullptr) {
    const std::string csv = m_dir.File("curve.csv");
    std::filesystem::remove(csv);
    const CliOutcome run =
        Cli("analyze " + ShellQuote(capture) + " " + extra + " --csv " + ShellQuote(csv));
    if (outcome != nullptr) *outcome = run;
    EXPECT_EQ(run.status, 0) << run.output;
    return ReadLevels(csv);
  }
  // Each calibrated point is the plain point minus entry k of the chart over the curve's range.
  static void ExpectCalibrated(const std::vector<double>& plain,
                               const std::vector<double>& calibrated,
                               const std::array<double, 1020>& chart, const char* name) {
    ASSERT_EQ(plain.size(), 1001u) << name;
    ASSERT_EQ(calibrated.size(), 1001u) << name;
    for (size_t k = 0; k < plain.size(); ++k) {
      ASSERT_NEAR(plain[k] - calibrated[k], chart[k], 0.0005) << name << " point " << k;
    }
  }

  wavetest::ScratchFolder m_dir;
  std::filesystem::path m_config;
  std::filesystem::path m_charts;
};

TEST_F(CalibrationOptionsTest, AnalyzeWithEachChartShapeSubtractsTheChart) {
  const std::string capture = Capture("");
  const std::vector<double> plain = Analyze(capture, "");
  for (const auto& sample : charttest::ChartSamples()) {
    const std::string chart = (m_charts / (std::string(sample.name) + ".txt")).string();
    std::ofstream(chart, std::ios::binary) << sample.bytes;
    if (!sample.usable) {
      const CliOutcome refused =
          Cli("analyze " + ShellQuote(capture) + " --calibration " + ShellQuote(chart));
      EXPECT_EQ(refused.status, 1) << sample.name;
      EXPECT_NE(refused.output.find("The response curve of the selected microphone is not valid"),
                std::string::npos)
          << sample.name << refused.output;
      continue;
    }
    const auto points = charttest::ReferencePoints(sample.bytes);
    ASSERT_TRUE(points.has_value()) << sample.name;
    ExpectCalibrated(plain, Analyze(capture, "--calibration " + ShellQuote(chart)),
                     charttest::ReferenceCurve(*points, 50.0, 16000.0), sample.name);
  }
}

TEST_F(CalibrationOptionsTest, TheCapturesMicrophoneIsLookedUpInTheChartFolder) {
  const std::string text = "20 -3\n1000 0\n20000 4.5\n";
  std::filesystem::create_directories(m_charts / "sub");
  std::ofstream(m_charts / "sub" / "USB Mic.frd") << text;
  std::string capture = Capture("usb mic");
  const auto chart = charttest::ReferenceCurve(*charttest::ReferencePoints(text), 50.0, 16000.0);

  // not in any folder: reported, measured without calibration
  CliOutcome run;
  const std::vector<double> plain = Analyze(capture, "", &run);
  EXPECT_NE(run.output.find("Sorry, could not find microphone \"usb mic\" for calibration"),
            std::string::npos)
      << run.output;
  // the folder on the command line
  ExpectCalibrated(plain, Analyze(capture, "--chart-folder " + ShellQuote(m_charts.string()), &run),
                   chart, "--chart-folder");
  EXPECT_EQ(run.output.find("Sorry"), std::string::npos) << run.output;
  // the window's chart folder from its settings, not UTF-8, whole or relative to the data folder
  const auto latin1 = m_dir.Path() / "data" / "Velkar" / "Quorvel" / "Mikrofone\xE9";
  std::filesystem::create_directories(latin1);
  std::ofstream(latin1 / "USB Mic.frd") << text;
  for (const std::string& stored : {latin1.string(), std::string("Mikrofone\xE9")}) {
    std::ofstream(m_config / "Velkar" / "Quorvel.conf")
        << "[Preferences]\nCalibFiles=" << stored << "\n";
    ExpectCalibrated(plain, Analyze(capture, "", &run), chart, "CalibFiles");
  }
  // another range: the chart is read again for it
  capture = Capture("usb mic", 100.0, 8000.0);
  std::filesystem::create_directories(m_dir.Path() / "empty");
  const std::vector<double> narrow =
      Analyze(capture, "--fmin 100 --fmax 8000 --chart-folder " + ShellQuote(m_dir.File("empty")));
  ExpectCalibrated(narrow, Analyze(capture, "--fmin 100 --fmax 8000"),
                   charttest::ReferenceCurve(*charttest::ReferencePoints(text), 100.0, 8000.0),
                   "narrow");
}

TEST_F(CalibrationOptionsTest, AnUnreadableSettingsFileIsLeftAloneAndAPipeNeverWaitedFor) {
  const std::string capture = Capture("");
  const auto file = m_config / "Velkar" / "Quorvel.conf";
  std::ofstream(file) << "[Preferences\n";
  CliOutcome run;
  Analyze(capture, "", &run);
  EXPECT_NE(run.output.find(file.string() + " cannot be read as settings"), std::string::npos);
  EXPECT_TRUE(std::filesystem::exists(file));  // left for the window to keep aside
  std::ofstream(file) << "[Preferences]\n;" << std::string(2 << 20, '#') << "\n";
  Analyze(capture, "", &run);
  EXPECT_NE(run.output.find(file.string() + " is larger than 1 MB"), std::string::npos);
  std::filesystem::remove(file);
  ASSERT_EQ(::mkfifo(file.c_str(), 0600), 0);
  Analyze(capture, "", &run);
  EXPECT_NE(run.output.find(file.string() + " is not a regular file"), std::string::npos);
}

TEST_F(CalibrationOptionsTest, MeasureAppliesTheChartAndNamesItInTheCapture) {
  const std::string chart = (m_charts / "Mic 7.txt").string();
  std::ofstream(chart) << "20 -1\n20000 2\n";
  const std::string sim =
      "QUORVEL_SIM_CLOCK_FACTOR=20 XDG_CONFIG_HOME=" + ShellQuote(m_config.string());
  const std::string blank = (m_charts / "spl.txt").string();
  std::ofstream(blank) << "20 94\n20000 94\n";  // absolute levels, refused as analyze refuses them
  const CliOutcome refused = RunCli("measure --simulated --calibration " + ShellQuote(blank), sim);
  EXPECT_EQ(refused.status, 1);
  EXPECT_NE(refused.output.find("The response curve of the selected microphone is not valid"),
            std::string::npos)
      << refused.output;

  const std::string saved = m_dir.File("measured.wav");
  const CliOutcome run = RunCli("measure --simulated --fmin 40 --fmax 12000 --calibration " +
                                    ShellQuote(chart) + " --save " + ShellQuote(saved),
                                sim);
  ASSERT_EQ(run.status, 0) << run.output;
  CWave reader;
  ASSERT_EQ(reader.ReadWave(saved.c_str()), CWave::kReadDone);
  EXPECT_STREQ(reader.m_info.comment, "Mic 7");
}

}  // namespace

}  // namespace quorvel

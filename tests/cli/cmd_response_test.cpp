// quorvel-cli response run as the program on a capture of the generated sweep itself (0 dB):
// the FRD follows a microphone chart, the impulse-response WAV and the distortion CSV keep their
// layout, and bad input, a silent recording and bad arguments end with their exit status.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "engine/audio_engine.h"
#include "files/wave_file.h"
#include "tests/cli/cli_test_support.h"
#include "tests/files/wave_builder.h"

namespace quorvel {

namespace {

class CmdResponseTest : public ::testing::Test {
 protected:
  // The 50..16000 Hz signal as a capture file; silent: as long, but all zero.
  std::string Capture(const char* name, bool silent) {
    auto audio = std::make_unique<CAudio>();
    const int length = audio->GenerateSweep(50.0, 16000.0);
    const std::string path = m_dir.File(name);
    CWave wave;
    EXPECT_TRUE(wave.CreateCaptureFile(path.c_str()));
    for (int i = 0; i < length; ++i) {
      static_cast<void>(wave.WriteSample(silent ? int16_t{0} : audio->Sweep()[i]));
    }
    std::strcpy(wave.m_szTitle, "50.00-16000.00 Hz");
    std::strcpy(wave.m_szArtist, "Quorvel");
    EXPECT_TRUE(wave.CloseCaptureFile(true));
    return path;
  }
  std::string Read(const std::string& name) {
    std::ifstream in(m_dir.File(name), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }
  // The level of the FRD line nearest 1 kHz.
  double FrdLevelAt1k(const std::string& name) {
    std::istringstream lines(Read(name));
    double best = 1e9;
    double level = 1e9;
    for (std::string line; std::getline(lines, line);) {
      double f = 0.0;
      double db = 0.0;
      if (line[0] != '*' && std::sscanf(line.c_str(), "%lf %lf", &f, &db) == 2 &&
          std::abs(f - 1000.0) < best) {
        best = std::abs(f - 1000.0);
        level = db;
      }
    }
    return level;
  }
  CliOutcome Cli(const std::string& arguments) {
    return RunCli("response " + arguments, "XDG_CONFIG_HOME=" + ShellQuote(m_dir.File("config")));
  }

  wavetest::ScratchFolder m_dir;
};

TEST_F(CmdResponseTest, WritesEveryFileAndAppliesTheChart) {
  const std::string capture = ShellQuote(Capture("capture.wav", false));
  std::ofstream(m_dir.File("mic.txt")) << "100 0\n500 4\n2000 4\n10000 0\n";
  const CliOutcome plain = Cli(capture + " --gate 5 --frd " + ShellQuote(m_dir.File("plain.frd")));
  ASSERT_EQ(plain.status, 0) << plain.output;
  const CliOutcome run =
      Cli(capture + " --gate 5 --calibration " + ShellQuote(m_dir.File("mic.txt")) + " --frd " +
          ShellQuote(m_dir.File("mic.frd")) + " --ir " + ShellQuote(m_dir.File("ir.wav")) +
          " --distortion " + ShellQuote(m_dir.File("h.csv")) + " --png " +
          ShellQuote(m_dir.File("plots")));
  ASSERT_EQ(run.status, 0) << run.output;
  // the chart's 4 dB at 1 kHz are subtracted from the level
  EXPECT_NEAR(FrdLevelAt1k("plain.frd") - FrdLevelAt1k("mic.frd"), 4.0, 0.01);
  // the impulse response: 500 ms of 32-bit floats, the peak 10 ms in
  const std::string wav = Read("ir.wav");
  const size_t data = wav.find("data");
  ASSERT_NE(data, std::string::npos);
  std::vector<float> samples(24000);
  ASSERT_EQ(wav.size(), data + 8 + samples.size() * sizeof(float));
  std::memcpy(samples.data(), wav.data() + data + 8, samples.size() * sizeof(float));
  size_t peak = 0;
  for (size_t i = 0; i < samples.size(); ++i) {
    if (std::abs(samples[i]) > std::abs(samples[peak])) peak = i;
  }
  EXPECT_EQ(peak, 480u);
  EXPECT_EQ(
      Read("h.csv").rfind("frequency_hz,fundamental_db,h2_db,h3_db,h4_db,h5_db,thd_percent\n", 0),
      0u);
  // a PNG of two plots, 1065 x 800 pixels (its extension added)
  const std::string png = Read("plots.png");
  ASSERT_GT(png.size(), 24u);
  EXPECT_EQ(png.substr(1, 3), "PNG");
  EXPECT_EQ(png.substr(16, 8), std::string("\0\0\x04\x29\0\0\x03\x20", 8));
  // without a file asked for: the summary
  const CliOutcome summary = Cli(capture);
  EXPECT_EQ(summary.status, 0);
  const size_t at1k = summary.output.find("at 1 kHz: ");
  ASSERT_NE(at1k, std::string::npos) << summary.output;
  EXPECT_NEAR(std::atof(summary.output.c_str() + at1k + 10), 0.0, 0.05) << summary.output;
}

TEST_F(CmdResponseTest, RefusesBadInputAndArguments) {
  const std::string capture = ShellQuote(Capture("capture.wav", false));
  const std::string silent = ShellQuote(Capture("silent.wav", true));
  const std::string frd = ShellQuote(m_dir.File("out.frd"));
  std::ofstream(m_dir.File("spl.txt")) << "20 93.5\n1000 94\n20000 95\n";  // absolute levels
  struct Case {
    std::string arguments;
    int status;
    const char* says;
  } cases[] = {
      {silent + " --frd " + frd, 1, "No impulse response stands above the noise"},
      {ShellQuote(m_dir.File("none.wav")) + " --frd " + frd, 1, ""},
      {capture + " --frd " + ShellQuote(m_dir.File("no/such/folder.frd")), 1,
       "Cannot save the file to disk...\n"},
      {capture + " --calibration " + ShellQuote(m_dir.File("none.txt")) + " --frd " + frd, 1,
       "The response curve of the selected microphone is not valid"},
      {capture + " --calibration " + ShellQuote(m_dir.File("spl.txt")) + " --frd " + frd, 1,
       "The response curve of the selected microphone is not valid"},
      {capture + " --fmin 500 --fmax 400 --frd " + frd, 2, ""},
      {capture + " --gate -1 --frd " + frd, 2, ""},
      {capture + " --window 5 --frd " + frd, 2, ""},
      {"", 2, ""},
  };
  for (const Case& c : cases) {
    const CliOutcome run = Cli(c.arguments);
    EXPECT_EQ(run.status, c.status) << c.arguments << "\n" << run.output;
    EXPECT_NE(run.output.find(c.says), std::string::npos) << c.arguments << "\n" << run.output;
    EXPECT_FALSE(std::filesystem::exists(m_dir.File("out.frd"))) << c.arguments;
  }
}

}  // namespace

}  // namespace quorvel

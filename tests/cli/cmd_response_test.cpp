// quorvel-cli response run as the program on a capture of the generated sweep itself (0 dB):
// the FRD follows a microphone chart, the impulse-response WAV and the distortion CSV keep their
// layout, and bad input, a silent recording and bad arguments end with their exit status.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
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
  // The 50..16000 Hz signal times gain (0: all zero) as a capture file.
  std::string Capture(const char* name, int gain = 1, const char* title = "50.00-16000.00 Hz") {
    auto audio = std::make_unique<CAudio>();
    const int length = audio->GenerateSweep(50.0, 16000.0);
    const std::string path = m_dir.File(name);
    CWave wave;
    EXPECT_TRUE(wave.CreateCaptureFile(path.c_str()));
    for (int i = 0; i < length; ++i) {
      static_cast<void>(wave.WriteSample(
          static_cast<int16_t>(std::clamp(gain * audio->Sweep()[i], -32768, 32767))));
    }
    std::strcpy(wave.m_szTitle, title);
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
  const std::string capture = ShellQuote(Capture("capture.wav"));
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
  EXPECT_EQ(Read("h.csv").rfind(
                "frequency_hz,fundamental_db,h2_db,h3_db,h4_db,h5_db,thd_percent,noise_db\n", 0),
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

TEST_F(CmdResponseTest, WritesTheViewsOfTheResponse) {
  // the capture is the played signal itself: a flat, delay-free transfer of 0 dB
  const std::string capture = ShellQuote(Capture("capture.wav"));
  std::string arguments = capture + " --gate 5";
  for (const char* option : {"frd", "group-delay", "step", "csd-csv", "distortion"}) {
    arguments += std::string(" --") + option + " " + ShellQuote(m_dir.File(option));
  }
  arguments += " --csd " + ShellQuote(m_dir.File("csd.png")) + " --spectrogram " +
               ShellQuote(m_dir.File("map.png"));
  const CliOutcome run = Cli(arguments);
  ASSERT_EQ(run.status, 0) << run.output;
  const auto rows = [&](const std::string& name, const char* header) {
    std::istringstream lines(Read(name));
    std::string line;
    std::getline(lines, line);
    EXPECT_EQ(line, header) << name;
    std::vector<std::vector<double>> values;
    while (std::getline(lines, line)) {
      std::vector<double> fields;
      std::istringstream cells(line);
      for (std::string cell; std::getline(cells, cell, ',');) {
        fields.push_back(cell.empty() ? NAN : std::atof(cell.c_str()));
      }
      values.push_back(fields);
    }
    return values;
  };
  // no delay and no excess delay where the 5 ms gate leaves the band edge's ringing out
  for (const auto& row : rows("group-delay", "frequency_hz,group_delay_ms,excess_group_delay_ms")) {
    if (row[0] < 500.0 || row[0] > 5000.0) continue;
    EXPECT_NEAR(row[1], 0.0, 0.05) << row[0];
    EXPECT_NEAR(row[2], 0.0, 0.05) << row[0];
  }
  // the step from -1 ms to 20 ms, rising at the peak by the transfer's gain of 1
  const auto step = rows("step", "time_ms,amplitude");
  ASSERT_GT(step.size(), 1000u);
  EXPECT_NEAR(step.front()[0], -1.0, 0.03);
  EXPECT_GE(step.back()[0], 20.0);
  double before = 0.0;
  double after = 0.0;
  for (const auto& row : step) {
    if (std::abs(row[0] + 0.1) < 0.011) before = row[1];
    if (std::abs(row[0] - 0.1) < 0.011) after = row[1];
  }
  EXPECT_NEAR(after - before, 1.0, 0.1);
  // 31 slices from 0 to 10 ms, the first one's largest level 0 dB
  std::vector<double> starts;
  double firstMax = -1e9;
  for (const auto& row : rows("csd-csv", "time_ms,frequency_hz,level_db")) {
    if (starts.empty() || row[0] != starts.back()) starts.push_back(row[0]);
    if (starts.size() == 1) firstMax = std::max(firstMax, row[2]);
    // the model's treble gone 2 ms after the peak: no ringing of the sweep's band limit
    if (row[0] >= 2.0 && row[1] > 8000.0) {
      EXPECT_LT(row[2], -40.0) << row[0] << " " << row[1];
    }
  }
  ASSERT_EQ(starts.size(), 31u);
  EXPECT_NEAR(starts.back(), 10.0, 1e-3);
  EXPECT_NEAR(firstMax, 0.0, 1e-3);
  // the noise floor as a last column, far below the fundamental of a recording of the signal
  for (const auto& row :
       rows("distortion",
            "frequency_hz,fundamental_db,h2_db,h3_db,h4_db,h5_db,thd_percent,noise_db")) {
    ASSERT_EQ(row.size(), 8u);
    if (row[0] > 100.0 && std::isfinite(row[7])) {
      EXPECT_LT(row[7], row[1] - 40.0) << row[0];
    }
  }
  // the gated FRD keeps every line and names where the gate is valid
  ASSERT_EQ(Cli(capture + " --frd " + ShellQuote(m_dir.File("ungated"))).status, 0);
  const auto dataLines = [&](const std::string& name) {
    std::istringstream lines(Read(name));
    int count = 0;
    for (std::string line; std::getline(lines, line);) count += line[0] != '*';
    return count;
  };
  EXPECT_NE(Read("frd").find("* Gated response valid above 200 Hz"), std::string::npos);
  EXPECT_EQ(dataLines("frd"), dataLines("ungated"));
  EXPECT_GT(dataLines("frd"), 400);
  // the pictures, 1065 x 600 pixels
  for (const char* picture : {"csd.png", "map.png"}) {
    EXPECT_EQ(Read(picture).substr(16, 8), std::string("\0\0\x04\x29\0\0\x02\x58", 8)) << picture;
  }
}

TEST_F(CmdResponseTest, RefusesBadInputAndArguments) {
  const std::string capture = ShellQuote(Capture("capture.wav"));
  const std::string silent = ShellQuote(Capture("silent.wav", 0));
  const std::string frd = ShellQuote(m_dir.File("out.frd"));
  std::ofstream(m_dir.File("spl.txt")) << "20 93.5\n1000 94\n20000 95\n";  // absolute levels
  struct Case {
    std::string arguments;
    int status;
    const char* says;
  } cases[] = {
      {silent + " --frd " + frd, 1, "The recording holds no sync burst"},
      {capture + " --fmax 1000 --frd " + frd, 1,
       "The recording's sweep does not match the range 50.00-1000.00 Hz\n"},
      {ShellQuote(Capture("low.wav", 1, "1.5-1.8 Hz")) + " --frd " + frd, 2,
       "quorvel-cli: the range needs 1.9 <= fmin < fmax <= 24000\n"},
      {ShellQuote(Capture("hot.wav", 4)), 3, "warning: the recording reached full scale ("},
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
      // a mono capture has no channel 2; a capture's channel is left or right
      {capture + " --channel right --frd " + frd, 1, "The capture has one channel"},
      {capture + " --channel louder --frd " + frd, 2, "left (channel 1) or right (channel 2)"},
      {"", 2, ""},
      // an output on the capture, by any spelling
      {capture + " --ir " + ShellQuote(m_dir.Path().string() + "/./capture.wav"), 2,
       "/./capture.wav names the same file as the capture "},
  };
  for (const Case& c : cases) {
    const CliOutcome run = Cli(c.arguments);
    EXPECT_EQ(run.status, c.status) << c.arguments << "\n" << run.output;
    EXPECT_NE(run.output.find(c.says), std::string::npos) << c.arguments << "\n" << run.output;
    EXPECT_FALSE(std::filesystem::exists(m_dir.File("out.frd"))) << c.arguments;
  }
}

TEST_F(CmdResponseTest, ALackOfMemoryIsAMessageAndNoAbort) {
  if (RunCli("devices --simulated", "ulimit -v 400000;").status != 0) {
    GTEST_SKIP() << "quorvel-cli does not start in 400 MB of address space (a sanitizer's)";
  }
  // Under each limit of the address space [kB] the analysis ends with its result or a message,
  // never with a signal; the analysis of a 21 s capture needs more than the smallest.
  const std::string capture = ShellQuote(Capture("capture.wav"));
  int refused = 0;
  for (const int limit : {110000, 130000, 150000, 250000}) {
    const CliOutcome run =
        RunCli("response " + capture, "ulimit -v " + std::to_string(limit) + ";");
    const bool said =
        run.output.find("Not enough memory: quorvel-cli response stopped\n") != std::string::npos;
    EXPECT_TRUE(run.status == 0 || (run.status == 1 && said)) << limit << ": " << run.output;
    refused += said ? 1 : 0;
  }
  EXPECT_GT(refused, 0);
}

}  // namespace

}  // namespace quorvel

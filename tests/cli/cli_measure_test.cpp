// quorvel-cli devices and measure, run as the real program on the simulated loudspeaker (its
// clock ten times faster than real time).
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <unistd.h>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "base/point_frequency.h"
#include "eq/eq_writers.h"

namespace quorvel {

namespace {

struct CliRun {
  int status = -1;
  std::string out;
  std::string err;
};

std::string ReadAll(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

class CliMeasure : public testing::Test {
 protected:
  void SetUp() override {
    m_dir = std::filesystem::temp_directory_path() /
            ("quorvel_cli_measure_" + std::to_string(::getpid()) + "_" +
             testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(m_dir);
  }
  void TearDown() override { std::filesystem::remove_all(m_dir); }

  CliRun Cli(const std::string& arguments) {
    const auto out = m_dir / "stdout.txt";
    const auto err = m_dir / "stderr.txt";
    const std::string command = "QUORVEL_SIM_CLOCK_FACTOR=10 QT_QPA_PLATFORM=offscreen '" +
                                std::string(QUORVEL_CLI) + "' " + arguments + " > '" +
                                out.string() + "' 2> '" + err.string() + "' < /dev/null";
    CliRun run;
    const int raw = std::system(command.c_str());
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    run.out = ReadAll(out);
    run.err = ReadAll(err);
    return run;
  }
  std::filesystem::path m_dir;
};

TEST_F(CliMeasure, DevicesListsTheSimulatedLoudspeakerWithTheDefaultOutputLast) {
  const CliRun run = Cli("devices --simulated");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("Audio Input (Microphone):\n   0  Simulated measurement microphone\n"),
            std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("Audio Output (Sweep Generator):\n   0  Simulated loudspeaker"),
            std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("  -1  Default Audio Output\n"), std::string::npos) << run.out;
}

TEST_F(CliMeasure, AMeasurementWritesTheCurveAndTheRecording) {
  const auto csv = m_dir / "curve.csv";
  const auto wav = m_dir / "capture.wav";
  // As the control tests do: a dropout of a machine too busy for the ten-times clock repeats the
  // measurement, at most twice more.
  CliRun run;
  for (int attempt = 0; attempt < 3; ++attempt) {
    run = Cli("measure --simulated --fmin 50 --fmax 16000 --csv '" + csv.string() + "' --save '" +
              wav.string() + "'");
    if (run.status != 1 || run.err.find("interrupted by a dropout") == std::string::npos) break;
  }
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("1001 of 1001 points, 50.00-16000.00 Hz"), std::string::npos) << run.out;
  // Into a file the progress is plain lines, never rewritten: what the start waited for, then
  // one line per hundred points and the last one.
  EXPECT_EQ(run.err.find('\r'), std::string::npos);
  EXPECT_NE(run.err.find("\nwaiting for the Audio Input \"Simulated measurement microphone\" to "
                         "deliver...\n"),
            std::string::npos)
      << run.err;
  int pointLines = 0;
  std::istringstream progress(run.err);
  for (std::string text; std::getline(progress, text);) {
    if (text.find(" of 1001 points,") != std::string::npos) ++pointLines;
  }
  EXPECT_GE(pointLines, 5);
  EXPECT_LE(pointLines, 11);
  EXPECT_NE(run.err.find("1001 of 1001 points"), std::string::npos);
  EXPECT_EQ(run.err.find("Warning:"), std::string::npos);  // not clipped at 0 dB

  std::istringstream lines(ReadAll(csv));
  std::string line;
  std::getline(lines, line);
  EXPECT_EQ(line, "index,frequency_hz,level_db");
  int rows = 0;
  double first = 0.0;
  double last = 0.0;
  while (std::getline(lines, line)) {
    double f = 0.0;
    double level = 0.0;
    int index = -1;
    ASSERT_EQ(std::sscanf(line.c_str(), "%d,%lf,%lf", &index, &f, &level), 3) << line;
    EXPECT_EQ(index, rows);
    if (rows == 0) first = f;
    last = f;
    ++rows;
  }
  EXPECT_EQ(rows, 1001);
  EXPECT_NEAR(first, 50.0, 1e-6);
  EXPECT_NEAR(last, 16000.0, 1e-6);
  // A capture file of about 21.5 s of 16-bit mono samples.
  EXPECT_GT(std::filesystem::file_size(wav), 2 * 48000 * 20u);
}

TEST_F(CliMeasure, AnUnknownOrEmptyInputIsNotAValidPeripheral) {
  // An empty name would otherwise start every entry and pick the first.
  for (const char* name : {"'Studio microphone'", "''"}) {
    const CliRun run = Cli(std::string("measure --simulated --input ") + name);
    EXPECT_EQ(run.status, 1) << name;
    EXPECT_NE(run.err.find("Not a valid Audio Input peripheral"), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find("waiting"), std::string::npos) << run.err;  // nothing was started
  }
  const CliRun run = Cli("measure --simulated --output ''");
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("Could Not Open the Audio Output Device: Bad device Id"),
            std::string::npos)
      << run.err;
}

TEST_F(CliMeasure, AClippedInputEndsWithAWarningLine) {
  // +12 dB takes the simulated loudspeaker's sweep 4.5 dB over full scale.
  CliRun run;
  for (int attempt = 0; attempt < 3; ++attempt) {
    run = Cli("measure --simulated --gain 12");
    if (run.status != 1 || run.err.find("interrupted by a dropout") == std::string::npos) break;
  }
  ASSERT_EQ(run.status, 3) << run.err;
  const size_t warning = run.err.find("Warning: The Audio Input clipped during the sweep (");
  ASSERT_NE(warning, std::string::npos) << run.err;
  EXPECT_NE(run.err.find("lower the input gain and measure again\n", warning), std::string::npos);
}

TEST_F(CliMeasure, OutputsWithNowhereToGoAreNamedBeforeAnythingPlays) {
  const std::string pic = (m_dir / "pic.png").string();
  std::filesystem::create_directories(pic);
  const CliRun run =
      Cli("measure --simulated --csv /missing/a.csv --png '" + pic + "' --save ok.wav");
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("Could not write the curve to /missing/a.csv\n/missing/a.csv: No such "
                         "file or directory\nCannot save the file to disk...\n" +
                         pic + ": Is a directory"),
            std::string::npos)
      << run.err;
  EXPECT_EQ(run.err.find("Audio services"), std::string::npos) << run.err;  // nothing started
  EXPECT_FALSE(std::filesystem::exists("ok.wav"));
}

TEST_F(CliMeasure, AReaderThatGoesEarlyIsANamedFailureAndTheOtherOutputsAreWritten) {
  // The picture goes into a named pipe whose reader, there before the check, takes 100 bytes of
  // it and goes; the program lives on, names the failure and writes the capture.
  const std::string pipe = (m_dir / "curve.bmp").string();
  ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
  const int reader = open(pipe.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  ASSERT_GE(reader, 0);
  std::thread early([reader] {
    pollfd ready{reader, POLLIN, 0};
    char bytes[100];
    if (poll(&ready, 1, 120000) == 1) static_cast<void>(read(reader, bytes, sizeof bytes));
    close(reader);
  });
  const std::string save = (m_dir / "ok.wav").string();
  const CliRun run = Cli("measure --simulated --bmp '" + pipe + "' --save '" + save + "'");
  early.join();
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("Cannot save the file to disk...\n" + pipe + ": Broken pipe"),
            std::string::npos)
      << run.err;
  EXPECT_GT(std::filesystem::file_size(save), 2000000u);
}

TEST_F(CliMeasure, BadArgumentsExitWithTwo) {
  // the rulebook's limits (its rows are in tests/control/measurement_request_test.cpp)
  EXPECT_EQ(Cli("measure --simulated --fmin 2000 --fmax 1000").status, 2);
  EXPECT_EQ(Cli("measure --simulated --gain 13").status, 2);
  EXPECT_EQ(Cli("measure --simulated --volume 3").status, 2);
  EXPECT_EQ(Cli("devices extra").status, 2);
}

// Through an equaliser file: the plain curve plus the equaliser's response, preamp included; a
// file that is no equaliser is refused before anything plays.
TEST_F(CliMeasure, MeasuringThroughAnEqualiserAddsItsResponse) {
  const EqFilterSet set = {-3.0,
                           {{EqFilterType::kLowShelf, 100.0, 4.0, kShelfQ},
                            {EqFilterType::kPeaking, 400.0, -8.0, 1.5},
                            {EqFilterType::kPeaking, 3000.0, -6.0, 3.0}}};
  const auto apo = m_dir / "room.txt";
  std::ofstream(apo) << ApoText(set);
  auto measure = [&](const std::string& extra, std::vector<double>* levels) {
    const auto csv = m_dir / "curve.csv";
    CliRun run;
    for (int attempt = 0; attempt < 3; ++attempt) {
      run = Cli("measure --simulated --fmin 20 --fmax 20000 --csv '" + csv.string() + "'" + extra);
      if (run.status != 1 || run.err.find("interrupted by a dropout") == std::string::npos) break;
    }
    std::istringstream lines(ReadAll(csv));
    int index = 0;
    double f = 0.0, level = 0.0;
    for (std::string line; std::getline(lines, line);) {
      if (std::sscanf(line.c_str(), "%d,%lf,%lf", &index, &f, &level) == 3)
        levels->push_back(level);
    }
    return run;
  };
  std::vector<double> plain, through;
  ASSERT_EQ(measure("", &plain).status, 0);
  const CliRun run = measure(" --through-eq '" + apo.string() + "'", &through);
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.err.find("Through the equaliser: room + EQ, 3 filters, preamp -3.0 dB"),
            std::string::npos)
      << run.err;
  ASSERT_TRUE(plain.size() == 1001u && through.size() == 1001u);
  double worst = 0.0;
  for (int k = 0; k < 1001; ++k) {
    const double hz = PointFrequency(k, 20.0, 20000.0);
    if (hz < 30.0 || hz > 10000.0) continue;
    const double predicted = plain[k] + set.preampDb + CascadeGainDb(set.filters, hz);
    worst = std::max(worst, std::fabs(through[k] - predicted));
  }
  EXPECT_LT(worst, 1.0);

  std::ofstream(m_dir / "bad.txt") << "Filter 1: ON PK Fc 400 Hz Gain -8 dB\n";
  const CliRun bad = Cli("measure --simulated --through-eq '" + (m_dir / "bad.txt").string() + "'");
  EXPECT_EQ(bad.status, 1);
  EXPECT_NE(bad.err.find("bad.txt: line 1: a peaking filter's Q"), std::string::npos) << bad.err;
  EXPECT_EQ(bad.err.find("waiting"), std::string::npos) << bad.err;
}

}  // namespace

}  // namespace quorvel

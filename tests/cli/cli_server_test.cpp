// quorvel-cli run as a program against real audio servers (PulseAudio, and PipeWire's PulseAudio
// server), each started privately and fresh: a whole measurement through a device the server
// resamples, with its progress written to a file, the device list naming that device, and a
// failure whose message is the last thing printed.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/audio/pulse/audio_test_server.h"

namespace quorvel {

namespace {

using Clock = std::chrono::steady_clock;

std::string ReadAll(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

class CliOnServer : public testing::TestWithParam<const char*> {
 protected:
  void SetUp() override {
    m_dir = std::filesystem::temp_directory_path() /
            ("quorvel_cli_server_" + std::to_string(::getpid()) + "_" + std::string(GetParam()));
    std::filesystem::create_directories(m_dir);
    m_server = MakeAudioTestServer(GetParam());
    std::string why;
    bool missing = false;
    if (!m_server->Start(&why, &missing)) {
      if (missing) GTEST_SKIP() << why;
      FAIL() << why;
    }
  }
  void TearDown() override {
    if (m_server != nullptr) m_server->Stop();
    std::filesystem::remove_all(m_dir);
  }

  // Starts quorvel-cli `arguments` (PULSE_SERVER names the test server) with its standard output
  // and error in files (named after `run`); returns its process id.
  pid_t StartCli(const std::string& arguments, const std::string& run = "") {
    const std::string command = "exec '" + std::string(QUORVEL_CLI_PATH) + "' " + arguments +
                                " > '" + (m_dir / ("stdout" + run + ".txt")).string() + "' 2> '" +
                                (m_dir / ("stderr" + run + ".txt")).string() + "' < /dev/null";
    const pid_t pid = fork();
    if (pid == 0) {
      execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
    return pid;
  }
  static int WaitExit(pid_t pid) {
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  std::string Out() const { return ReadAll(m_dir / "stdout.txt"); }
  std::string Err(const std::string& run = "") const {
    return ReadAll(m_dir / ("stderr" + run + ".txt"));
  }

  std::filesystem::path m_dir;
  std::unique_ptr<CAudioTestServer> m_server;
};

// Through a null sink made at 44100 Hz and its monitor: where the server resamples (PipeWire),
// the warning that names the devices comes before the sweep and again with the curve, and the
// run exits 3.
TEST_P(CliOnServer, MeasuresTheWholeCurveWithItsProgressAsPlainLines) {
  std::string why;
  ASSERT_TRUE(m_server->AddNullSink("quorvel_slow", "Quorvel Slow Output", 44100, &why)) << why;
  const std::string csv = (m_dir / "curve.csv").string();
  const std::string arguments =
      "measure --input 'Monitor of Quorvel Slow Output' --output 'Quorvel Slow Output' --gain -12 "
      "--csv '" +
      csv + "'";
  int status = -1;
  // A dropout of a machine too busy for the server is reported, and the run repeated.
  for (int attempt = 0; attempt < 4; ++attempt) {
    status = WaitExit(StartCli(arguments));
    if (status != 1 || Err().find("interrupted by a dropout") == std::string::npos) break;
  }
  const std::string err = Err();
  EXPECT_NE(Out().find("1001 of 1001 points, 20.00-20000.00 Hz"), std::string::npos) << Out();
  EXPECT_EQ(err.find('\r'), std::string::npos) << err;
  const size_t waiting =
      err.find("waiting for the Audio Output \"Quorvel Slow Output\" to start...\n");
  ASSERT_NE(waiting, std::string::npos) << err;
  const std::string warning =
      "Warning: The Audio Input and the Audio Output run at 44100 Hz: the server resamples";
  if (std::string(GetParam()) == "PulseAudio") {
    // PulseAudio switches the idle sink to its alternate rate, 48000 Hz, for the stream: no
    // resampler, no warning.
    EXPECT_EQ(status, 0) << err;
    EXPECT_EQ(err.find("Warning:"), std::string::npos) << err;
  } else {
    ASSERT_EQ(status, 3) << err;
    EXPECT_LT(err.find(warning), waiting) << err;
    EXPECT_NE(err.find(warning, waiting), std::string::npos) << err;
  }
  std::istringstream lines(ReadAll(csv));
  int rows = 0;
  for (std::string line; std::getline(lines, line);) ++rows;
  EXPECT_EQ(rows, 1 + 1001);
}

// PulseAudio keeps the rate of a sink that already plays: with pacat playing 44100 Hz into it,
// the measurement is resampled, warned of before the sweep and again with the curve, exit 3
// (the other program playing there is a warning too).
TEST_P(CliOnServer, ASinkHeldAt44100HzByAnotherProgramIsWarnedOfAndExits3) {
  if (std::string(GetParam()) != "PulseAudio") GTEST_SKIP() << "PipeWire: the test above";
  std::string why;
  ASSERT_TRUE(m_server->AddNullSink("quorvel_slow", "Quorvel Slow Output", 44100, &why)) << why;
  pid_t player = SpawnTestChild({FindTestProgram("pacat"), "--raw", "--rate=44100", "--channels=2",
                                 "-d", "quorvel_slow", "/dev/zero"},
                                EnvironmentWithout({}), "/dev/null");
  ASSERT_GT(player, 0);
  ASSERT_TRUE(m_server->WaitForSinkState("quorvel_slow", "RUNNING", 10000));
  const int status =
      WaitExit(StartCli("measure --input 'Monitor of Quorvel Slow Output' --output 'Quorvel Slow "
                        "Output' --gain -12"));
  ReapTestChild(&player, SIGTERM, 5000);
  const std::string err = Err();
  const std::string warning =
      "Warning: The Audio Input and the Audio Output run at 44100 Hz: the server resamples";
  EXPECT_EQ(status, 3) << err;
  const size_t waiting = err.find("waiting for the Audio Output");
  EXPECT_LT(err.find(warning), waiting) << err;
  EXPECT_NE(err.find(warning, waiting), std::string::npos) << err;
}

// Two measurements at once into one sink, with a third program playing there too: each run
// completes with the warning that names the others, and exits 3.
TEST_P(CliOnServer, TwoMeasurementsAtOnceAndAThirdProgramEachNameTheOthersAndExit3) {
  // A minute of a 100 Hz tone, played into the measured sink from before the measurements on.
  const std::string tone = (m_dir / "tone.raw").string();
  std::vector<int16_t> samples(60 * 48000);
  for (size_t i = 0; i < samples.size(); ++i)
    samples[i] = int16_t(3000 * std::sin(M_PI * double(i) / 240.0));
  std::ofstream(tone, std::ios::binary)
      .write(reinterpret_cast<const char*>(samples.data()), std::streamsize(samples.size() * 2));
  const std::string measure =
      "measure --input 'Monitor of Quorvel Null Output' --output 'Quorvel Null Output' --gain -12";
  const std::vector<std::string> runs = {"1", "2"};
  std::vector<int> status(runs.size(), -1);
  for (int attempt = 0; attempt < 4; ++attempt) {  // again after a dropout of a busy machine
    pid_t player = SpawnTestChild({FindTestProgram("pacat"), "--raw", "--format=s16le",
                                   "--rate=48000", "--channels=1", "-d", "quorvel_null", tone},
                                  EnvironmentWithout({}), "/dev/null");
    std::vector<pid_t> clis;
    for (const std::string& run : runs) clis.push_back(StartCli(measure, run));
    for (size_t i = 0; i < clis.size(); ++i) status[i] = WaitExit(clis[i]);
    ReapTestChild(&player, SIGTERM, 5000);
    if (status[0] != 1 && status[1] != 1) break;
  }
  for (size_t i = 0; i < runs.size(); ++i) {
    SCOPED_TRACE("measurement " + runs[i]);
    const std::string err = Err(runs[i]);
    EXPECT_EQ(status[i], 3) << err;
    const std::string warning =
        "Warning: Another program played to the Audio Output during the measurement (";
    const size_t at = err.find(warning);
    ASSERT_NE(at, std::string::npos) << err;
    const size_t from = at + warning.size();
    const std::string names = err.substr(from, err.find(')', from) - from);
    EXPECT_NE(names.find("pacat"), std::string::npos) << err;
    EXPECT_NE(names.find("Quorvel"), std::string::npos) << err;
    EXPECT_NE(err.find("): its sound is in the curve. Stop it and measure again\n", at),
              std::string::npos)
        << err;
  }
}

TEST_P(CliOnServer, NamesTheRateOfADeviceTheServerResamples) {
  std::string why;
  ASSERT_TRUE(m_server->AddNullSink("quorvel_slow", "Quorvel Slow Output", 44100, &why)) << why;
  ASSERT_EQ(WaitExit(StartCli("devices")), 0) << Err();
  const std::string out = Out();
  EXPECT_NE(out.find("  Quorvel Slow Output  (runs at 44100 Hz, resampled)\n"), std::string::npos)
      << out;
  EXPECT_NE(out.find("  Monitor of Quorvel Slow Output  (runs at 44100 Hz, resampled)\n"),
            std::string::npos)
      << out;
  EXPECT_NE(out.find("  Quorvel Null Output\n"), std::string::npos) << out;
}

TEST_P(CliOnServer, AFailureMessageIsTheLastLinePrinted) {
  // Once the curve has begun, the server dies. (A run that ends before, on a dropout of a
  // machine too busy for the server, is started again.)
  pid_t cli = -1;
  bool begun = false;
  for (int attempt = 0; attempt < 4 && !begun; ++attempt) {
    cli = StartCli(
        "measure --input 'Monitor of Quorvel Null Output' --output 'Quorvel Null Output' "
        "--gain -12");
    const auto deadline = Clock::now() + std::chrono::seconds(120);
    int status = 0;
    bool ended = false;
    while (!begun && !ended && Clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
      begun = Err().find(" of 1001 points,") != std::string::npos;
      ended = !begun && waitpid(cli, &status, WNOHANG) == cli;
    }
    ASSERT_TRUE(begun || ended) << Err();
    if (ended) {
      ASSERT_NE(Err().find("interrupted by a dropout"), std::string::npos) << Err();
    }
  }
  ASSERT_TRUE(begun) << Err();
  m_server->Kill();
  EXPECT_EQ(WaitExit(cli), 1);
  const std::string err = Err();
  ASSERT_FALSE(err.empty());
  // The message, and nothing after it: no progress line follows a failure.
  const std::string lastLines =
      "The Audio Output stopped during the measurement\n"
      "The audio server connection was lost.\n";
  const std::string inputStopped = "The Audio Input stopped during the measurement: \n";
  const bool outputLast =
      err.size() >= lastLines.size() &&
      err.compare(err.size() - lastLines.size(), lastLines.size(), lastLines) == 0;
  const size_t input = err.rfind(inputStopped);
  const bool inputLast =
      input != std::string::npos &&
      err.substr(input).find(" of 1001 points,") == std::string::npos &&
      err.compare(err.size() - 39, 39, "\nThe audio server connection was lost.\n") == 0;
  EXPECT_TRUE(outputLast || inputLast) << err;
}

INSTANTIATE_TEST_SUITE_P(Servers, CliOnServer, testing::ValuesIn(kTestServerNames),
                         [](const testing::TestParamInfo<const char*>& param) {
                           return std::string(param.param);
                         });

}  // namespace

}  // namespace quorvel

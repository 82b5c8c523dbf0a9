// Measurements in a row through a private PulseAudio and a private PipeWire: each one right (exit
// 0, no gap, no dropout). Twenty through each server take about a quarter of an hour, so this
// runs only in the soak test preset, on an idle machine; QUORVEL_SOAK_RUNS sets how many.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "tests/audio/pulse/audio_test_server.h"
#include "tests/cli/cli_test_support.h"

namespace quorvel {
namespace {

int Runs() {
  const char* text = std::getenv("QUORVEL_SOAK_RUNS");
  const int runs = text != nullptr ? std::atoi(text) : 0;
  return runs > 0 ? runs : 20;
}

class SoakOnServer : public testing::TestWithParam<const char*> {};

TEST_P(SoakOnServer, EveryMeasurementInARowIsRight) {
  const std::unique_ptr<CAudioTestServer> server = MakeAudioTestServer(GetParam());
  std::string why;
  bool missing = false;
  if (!server->Start(&why, &missing)) {
    if (missing) GTEST_SKIP() << why;
    FAIL() << why;
  }
  const int runs = Runs();
  int right = 0;
  for (int run = 1; run <= runs; ++run) {
    const CliOutcome outcome = RunCli(
        "measure --input 'Monitor of Quorvel Null Output' --output 'Quorvel Null Output' "
        "--gain -12");
    const size_t last = outcome.output.find_last_not_of('\n');
    const size_t line = outcome.output.rfind('\n', last == std::string::npos ? 0 : last);
    std::printf("%s run %d: exit %d: %s\n", GetParam(), run, outcome.status,
                outcome.output.substr(line == std::string::npos ? 0 : line + 1).c_str());
    std::fflush(stdout);
    if (outcome.status == 0) ++right;
  }
  EXPECT_EQ(right, runs) << server->Log();
}

INSTANTIATE_TEST_SUITE_P(Servers, SoakOnServer, testing::ValuesIn(kTestServerNames),
                         [](const testing::TestParamInfo<const char*>& param) {
                           return std::string(param.param);
                         });

}  // namespace
}  // namespace quorvel

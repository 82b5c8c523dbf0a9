// A private PipeWire whose output delays its right channel by 3.5 ms (a filter-chain with a
// builtin delay), recorded by the null sink's monitor: measure --reference left measures that
// delay on the right channel within a sample, and one clock. Real time; skipped without PipeWire.
#include <gtest/gtest.h>

#include <cmath>
#include <regex>
#include <string>

#include "tests/audio/pulse/pipewire_test_server.h"
#include "tests/cli/trace_command_support.h"

namespace quorvel {
namespace {

constexpr double kDelaySeconds = 0.0035;  // 168 samples at 48000 Hz

// The left channel copied, the right one delayed, into the null sink the monitor records.
std::string DelayChain() {
  return "context.modules = [\n"
         "  { name = libpipewire-module-filter-chain\n"
         "    args = {\n"
         "      node.description = \"Delayed right\"\n"
         "      media.name = \"Delayed right\"\n"
         "      filter.graph = {\n"
         "        nodes = [\n"
         "          { type = builtin name = left label = delay config = { \"max-delay\" = 1.0 }\n"
         "            control = { \"Delay (s)\" = 0.0 } }\n"
         "          { type = builtin name = right label = delay config = { \"max-delay\" = 1.0 }\n"
         "            control = { \"Delay (s)\" = " +
         std::to_string(kDelaySeconds) +
         " } }\n"
         "        ]\n"
         "        inputs = [ \"left:In\" \"right:In\" ]\n"
         "        outputs = [ \"left:Out\" \"right:Out\" ]\n"
         "      }\n"
         "      audio.channels = 2\n"
         "      audio.position = [ FL FR ]\n"
         "      capture.props = { node.name = \"quorvel_delayed\" media.class = Audio/Sink }\n"
         "      playback.props = { node.name = \"quorvel_delayed.output\"\n"
         "                         target.object = \"quorvel_null\" }\n"
         "    }\n"
         "  }\n"
         "]\n";
}

TEST(LoopbackDelay, TheDelayOfOneChannelIsMeasuredFromTheOther) {
  CPipeWireTestServer server;
  server.AddPipeWireDropIn("delayed.conf", DelayChain());
  std::string why;
  bool missing = false;
  if (!server.Start(&why, &missing)) {
    if (missing) GTEST_SKIP() << why;
    FAIL() << why;
  }
  server.Pactl("set-sink-volume quorvel_delayed 50%");
  CliOutcome run;
  for (int attempt = 0; attempt < 4; ++attempt) {
    run = RunCli(
        "measure --input 'Monitor of Quorvel Null Output' --output 'Delayed right' "
        "--reference left");
    if (run.status != 1 || run.output.find("interrupted by a dropout") == std::string::npos) break;
  }
  ASSERT_EQ(run.status, 0) << run.output;
  std::smatch delay;
  ASSERT_TRUE(std::regex_search(run.output, delay,
                                std::regex(R"(delay (-?[0-9.]+) ms \((-?[0-9.]+) samples)")))
      << run.output;
  EXPECT_NEAR(std::stod(delay[2]), kDelaySeconds * 48000.0, 1.0) << run.output;
  std::smatch drift;
  ASSERT_TRUE(std::regex_search(run.output, drift, std::regex(R"(clock drift (-?[0-9.]+) ppm)")))
      << run.output;
  EXPECT_LT(std::abs(std::stod(drift[1])), 5.0) << run.output;
}

}  // namespace
}  // namespace quorvel

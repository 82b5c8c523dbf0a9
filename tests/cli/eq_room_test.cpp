// A private PipeWire's "room" measured, its equaliser made by quorvel-cli eq, the drop-in loaded
// by a fresh server and the room measured through it; an output that delays one channel,
// measured with the other as the timing reference, through PipeWire and through PulseAudio.
// Real time; skipped without the servers.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "eq/eq_apo_reader.h"
#include "eq/eq_writers.h"
#include "tests/audio/pulse/pipewire_test_server.h"
#include "tests/audio/pulse/pulse_test_server.h"
#include "tests/cli/trace_command_support.h"

namespace quorvel {
namespace {

// The room: +8 dB at 250 Hz, -6 dB at 700 Hz, +6 dB at 2500 Hz and a preamp of -20 dB, a
// filter-chain as the drop-in writer writes one, that plays into the null sink the monitor records.
std::string Room() {
  const EqFilterSet room = {-20.0,
                            {{EqFilterType::kPeaking, 250.0, 8.0, 2.0},
                             {EqFilterType::kPeaking, 700.0, -6.0, 1.4},
                             {EqFilterType::kPeaking, 2500.0, 6.0, 3.0}}};
  std::string text = PipeWireDropIn(room, "Test room");
  const std::string passive = "node.passive = true\n";
  return text.replace(text.find(passive), passive.size(), "target.object = \"quorvel_null\"\n");
}

// The server with the room as the default output (the equaliser plays into it).
bool StartRoom(CPipeWireTestServer* server, const std::string& eq, bool* missing,
               std::string* why) {
  server->AddPipeWireDropIn("room.conf", Room());
  if (!eq.empty()) server->AddPipeWireDropIn("quorvel-eq-room.conf", eq);
  if (!server->Start(why, missing)) return false;
  server->Pactl("set-default-sink quorvel_eq.test_room");
  return true;
}

std::vector<double> CurveLevels(const std::string& path) {
  std::vector<double> levels;
  for (const auto& row : NumberRows(path)) {
    if (row.size() == 3) levels.push_back(row[2]);
  }
  return levels;
}

// A measurement from `output` into the null sink's monitor, again after a dropout.
CliOutcome Measure(const std::string& output, const std::string& extra) {
  CliOutcome run;
  for (int attempt = 0; attempt < 4; ++attempt) {
    run = RunCli("measure --input 'Monitor of Quorvel Null Output' --output '" + output + "' " +
                 extra);
    if (run.status != 1 || run.output.find("interrupted by a dropout") == std::string::npos) break;
  }
  return run;
}

TEST(EqRoom, TheRoomThroughItsEqualiserIsAtThePredictedLevelAndFlatWhereItsPeaksWere) {
  const std::string dir =
      std::filesystem::temp_directory_path() / ("quorvel_eq_room_" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  std::string why;
  bool missing = false;
  {
    CPipeWireTestServer server;
    if (!StartRoom(&server, "", &missing, &why)) {
      if (missing) GTEST_SKIP() << why;
      FAIL() << why;
    }
    const CliOutcome room =
        Measure("Quorvel EQ (Test room)", "--save " + ShellQuote(dir + "/room.wav") + " --csv " +
                                              ShellQuote(dir + "/room.csv"));
    ASSERT_EQ(room.status, 0) << room.output;
    const CliOutcome eq =
        RunCli("eq " + ShellQuote(dir + "/room.wav") + " --max-boost 6 --pipewire " +
               ShellQuote(dir + "/room.conf") + " --apo " + ShellQuote(dir + "/room.txt"));
    ASSERT_EQ(eq.status, 0) << eq.output;
  }
  CPipeWireTestServer server;
  ASSERT_TRUE(StartRoom(&server, ReadTextFile(dir + "/room.conf"), &missing, &why)) << why;
  const CliOutcome run = Measure("Quorvel EQ (room)", "--csv " + ShellQuote(dir + "/through.csv"));
  ASSERT_EQ(run.status, 0) << run.output;
  const std::vector<double> through = CurveLevels(dir + "/through.csv");
  const std::vector<double> room = CurveLevels(dir + "/room.csv");
  ASSERT_TRUE(through.size() == 1001u && room.size() == 1001u);
  const Result<EqFilterSet> read = ReadApoFile(dir + "/room.txt");
  ASSERT_TRUE(read) << read.Message();
  const EqFilterSet& set = *read;
  EXPECT_LT(set.preampDb, -3.0);  // the boost's: a preamp the server ignored would stand out
  // Over the match range at the level predicted, the preamp included; around the peaks (an
  // octave either side) flat against the curve's median.
  std::vector<double> match, peaks, off;
  for (int k = 0; k < 1001; ++k) {
    const double hz = 20.0 * std::pow(1000.0, k / 1000.0);
    if (hz >= 30.0 && hz <= 10000.0) {
      match.push_back(through[k]);
      off.push_back(through[k] - room[k] - CascadeGainDb(set.filters, hz) - set.preampDb);
    }
    if ((hz >= 125.0 && hz <= 500.0) || (hz >= 1250.0 && hz <= 5000.0)) peaks.push_back(through[k]);
  }
  std::nth_element(match.begin(), match.begin() + match.size() / 2, match.end());
  const double level = match[match.size() / 2];
  double power = 0.0;
  for (const double v : peaks) power += (v - level) * (v - level);
  EXPECT_LT(std::sqrt(power / static_cast<double>(peaks.size())), 1.5) << run.output;
  const auto [low, high] = std::minmax_element(off.begin(), off.end());
  EXPECT_TRUE(*low > -1.0 && *high < 1.0) << *low << " to " << *high << " dB";
  const std::string log = ReadTextFile(server.Folder() + "/pipewire.log");
  EXPECT_FALSE(std::regex_search(log, std::regex(R"((^|\n)\[[WE]\])"))) << log;
  std::filesystem::remove_all(dir);
}

// The right channel 3.5 ms (168 samples) late, a filter-chain's builtin delay, into the null sink.
constexpr char kDelayChain[] = R"chain(context.modules = [
  { name = libpipewire-module-filter-chain
    args = {
      node.description = "Delayed right"
      filter.graph = {
        nodes = [ { type = builtin name = l label = delay config = { "max-delay" = 1.0 }
                    control = { "Delay (s)" = 0.0 } }
                  { type = builtin name = r label = delay config = { "max-delay" = 1.0 }
                    control = { "Delay (s)" = 0.0035 } } ]
        inputs = [ "l:In" "r:In" ]
        outputs = [ "l:Out" "r:Out" ]
      }
      audio.channels = 2
      audio.position = [ FL FR ]
      capture.props = { node.name = "quorvel_delayed" media.class = Audio/Sink }
      playback.props = { node.name = "quorvel_delayed.output" target.object = "quorvel_null" } } } ]
)chain";

// A measurement into `output` that delays the right channel 168 samples behind the left, with
// the left as the timing reference: the delay within a sample, the clocks one.
void ExpectTheRightChannel168SamplesLate(const std::string& output) {
  const CliOutcome run = Measure(output, "--reference left");
  ASSERT_EQ(run.status, 0) << run.output;
  std::smatch found;
  ASSERT_TRUE(std::regex_search(
      run.output, found, std::regex(R"(\(([-0-9.]+) samples.*\nclock drift ([-0-9.]+) ppm)")))
      << run.output;
  EXPECT_NEAR(std::stod(found[1]), 168.0, 1.0) << run.output;
  EXPECT_LT(std::abs(std::stod(found[2])), 5.0) << run.output;
}

TEST(EqRoom, TheDelayOfOneChannelIsMeasuredWithinASampleFromTheOther) {
  CPipeWireTestServer server;
  server.AddPipeWireDropIn("delayed.conf", kDelayChain);
  std::string why;
  bool missing = false;
  if (!server.Start(&why, &missing)) {
    if (missing) GTEST_SKIP() << why;
    FAIL() << why;
  }
  server.Pactl("set-sink-volume quorvel_delayed 50%");
  ExpectTheRightChannel168SamplesLate("Delayed right");
}

// PulseAudio has no filter-chain: TAP's stereo echo as a LADSPA sink, no dry signal, no
// feedback, the left echo 1 ms and the right 4.5 ms late (each a sample more: 49 and 217).
TEST(EqRoom, TheDelayOfOneChannelIsMeasuredWithinASampleThroughPulseAudio) {
  constexpr char kPlugin[] = "/usr/lib/ladspa/tap_echo.so";
  if (!std::filesystem::exists(kPlugin)) {
    GTEST_SKIP() << kPlugin << " is not installed (Debian package tap-plugins)";
  }
  CPulseTestServer server;
  std::string why;
  bool missing = false;
  if (!server.Start(&why, &missing)) {
    if (missing) GTEST_SKIP() << why;
    FAIL() << why;
  }
  ASSERT_TRUE(server.AddLadspaSink("quorvel_delayed", "Delayed right", "tap_echo",
                                   "tap_stereo_echo", "1,0,4.5,0,0,0,-70,0,0,0",
                                   "TAP's stereo echo (Debian package tap-plugins)", &why))
      << why;
  server.Pactl("set-sink-volume quorvel_delayed 50%");
  ExpectTheRightChannel168SamplesLate("Delayed right");
}

}  // namespace
}  // namespace quorvel

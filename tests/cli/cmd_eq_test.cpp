// quorvel-cli eq run as the program on a capture of the sweep played through a room with three
// known peaks: the peaks are cut, the four equaliser files read back by their own parsers
// (PipeWire's spa-json-dump, nlohmann-json, python3's yaml, the APO grammar) describe the same
// filters, and bad arguments and paths end with their exit status and no file written.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <nlohmann/json.hpp>
#include <regex>
#include <string>
#include <tuple>
#include <vector>

#include "engine/audio_engine.h"
#include "eq/eq_prefilter.h"
#include "files/wave_file.h"
#include "tests/cli/cli_test_support.h"
#include "tests/files/wave_builder.h"

namespace quorvel {
namespace {

using nlohmann::json;
using T = EqFilterType;
// A filter as a file says it: type letter (P, L, H), frequency, gain, Q; then the preamp.
using Said = std::vector<std::tuple<char, double, double, double>>;
const std::vector<EqFilter> kRoom = {{T::kPeaking, 200.0, 6.0, 2.0},
                                     {T::kPeaking, 1500.0, 5.0, 3.0},
                                     {T::kPeaking, 5000.0, 4.0, 2.0}};

class CmdEqTest : public ::testing::Test {
 protected:
  void SetUp() override {
    auto audio = std::make_unique<CAudio>();
    ASSERT_GT(audio->GenerateSweep(20.0, 20000.0), 0);
    const std::vector<int16_t> room = PrefilterSamples(audio->Sweep(), 1, {-10.0, kRoom});
    CWave wave;
    ASSERT_TRUE(wave.CreateCaptureFile(m_capture.c_str()));
    for (const int16_t s : room) ASSERT_TRUE(wave.WriteSample(s));
    std::strcpy(wave.m_szTitle, "20.00-20000.00 Hz");
    std::strcpy(wave.m_szArtist, "Quorvel");
    ASSERT_TRUE(wave.CloseCaptureFile(true));
  }
  std::string F(const std::string& name) { return ShellQuote(m_dir.File(name)); }
  CliOutcome Cli(const std::string& arguments) {
    return RunCli("eq " + ShellQuote(m_capture) + " " + arguments,
                  "XDG_CONFIG_HOME=" + F("config"));
  }
  // The output of a program run on a file, as JSON.
  json JsonOf(const std::string& command, const std::string& name) {
    const std::string out = m_dir.File(name + ".read");
    if (std::system((command + " " + F(name) + " > " + ShellQuote(out)).c_str()) != 0) return {};
    return json::parse(std::ifstream(out), nullptr, false);
  }

  wavetest::ScratchFolder m_dir;
  std::string m_capture = m_dir.File("room.wav");
};

char Letter(const std::string& type) {
  return type.find_first_of("PLH") == 0 ? type[0] : '?';
}

TEST_F(CmdEqTest, CutsTheRoomsPeaksAndWritesOneFilterSetFourWays) {
  const CliOutcome run =
      Cli("--pipewire " + F("eq.conf") + " --easyeffects " + F("eq.json") + " --camilladsp " +
          F("eq.yml") + " --apo " + F("eq.txt") + " --csv " + F("eq.csv") + " --png " + F("eq"));
  ASSERT_EQ(run.status, 0) << run.output;
  // Equalizer APO's text, also printed
  std::ifstream apoFile(m_dir.File("eq.txt"));
  const std::string apo{std::istreambuf_iterator<char>(apoFile), {}};
  EXPECT_NE(run.output.find(apo), std::string::npos) << run.output;
  Said apoSaid;
  const std::regex line(
      R"(Filter \d+: ON (PK|LSC|HSC) Fc ([0-9.]+) Hz Gain (-?[0-9.]+) dB Q ([0-9.]+))");
  for (auto m = std::sregex_iterator(apo.begin(), apo.end(), line); m != std::sregex_iterator();
       ++m) {
    apoSaid.emplace_back((*m)[1].str() == "PK" ? 'P' : (*m)[1].str()[0], std::stod((*m)[2]),
                         std::stod((*m)[3]), std::stod((*m)[4]));
  }
  ASSERT_GE(apoSaid.size(), 3u) << apo;
  apoSaid.emplace_back('G', 0.0, std::stod(apo.substr(apo.find("Preamp: ") + 8)), 0.0);

  const json ee = JsonOf("cat", "eq.json").at("output").at("equalizer#0");
  Said eeSaid;
  for (int i = 0; i < ee.at("num-bands"); ++i) {
    const json& band = ee.at("left").at("band" + std::to_string(i));
    eeSaid.emplace_back(Letter(band.at("type") == "Bell" ? "P" : band.at("type")),
                        band.at("frequency"), band.at("gain"), band.at("q"));
  }
  eeSaid.emplace_back('G', 0.0, ee.at("input-gain"), 0.0);
  EXPECT_EQ(eeSaid, apoSaid);

  const json yaml = JsonOf(
      "python3 -c 'import json,sys,yaml; print(json.dumps(yaml.safe_load(open(sys.argv[1]))))'",
      "eq.yml");
  ASSERT_TRUE(yaml.is_object()) << "python3 with yaml could not read the CamillaDSP file";
  EXPECT_FALSE(yaml.contains("devices"));
  const json& step = yaml.at("pipeline").at(0);  // a list, never a mapping
  EXPECT_EQ(step.at("channels"), json::array({0, 1}));
  Said camillaSaid;
  for (const json& name : step.at("names")) {
    const json& filter = yaml.at("filters").at(name.get<std::string>());
    if (filter.at("type") == "Gain") continue;
    const json& p = filter.at("parameters");
    camillaSaid.emplace_back(Letter(p.at("type")), p.at("freq"), p.at("gain"), p.at("q"));
  }
  camillaSaid.emplace_back(
      'G', 0.0, yaml.at("filters").at("quorvel_preamp").at("parameters").at("gain"), 0.0);
  EXPECT_EQ(camillaSaid, apoSaid);

  // The CSV: every peak of the room that stood 3 dB above the target is within 1.5 dB of it.
  std::ifstream csvFile(m_dir.File("eq.csv"));
  std::string header;
  std::getline(csvFile, header);
  EXPECT_EQ(header, "frequency_hz,measured_db,target_db,eq_db,predicted_db");
  int peaks = 0;
  for (double f, measured, target, eq, predicted; csvFile >> f;) {
    char c = 0;
    csvFile >> c >> measured >> c >> target >> c >> eq >> c >> predicted;
    EXPECT_NEAR(predicted, measured + eq, 0.002);
    if (f < 30.0 || f > 10000.0 || measured - target < 3.0) continue;
    ++peaks;
    EXPECT_LT(predicted - target, 1.5) << f << " Hz";
  }
  EXPECT_GT(peaks, 20);
  std::ifstream png(m_dir.File("eq.png"));
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(png), {}).substr(1, 3), "PNG");

  // PipeWire's own parser of its configuration
  const json pw = JsonOf("spa-json-dump", "eq.conf");
  if (pw.is_null()) GTEST_SKIP() << "spa-json-dump (pipewire-bin) could not read the drop-in";
  Said pwSaid;
  const json& args = pw.at("context.modules").at(0).at("args");
  EXPECT_EQ(args.at("audio.channels"), 2);
  for (const json& node : args.at("filter.graph").at("nodes")) {
    const json& c = node.at("control");
    const std::string label = node.at("label");
    if (node.at("name") == "preamp") continue;
    pwSaid.emplace_back(label == "bq_peaking"    ? 'P'
                        : label == "bq_lowshelf" ? 'L'
                                                 : 'H',
                        c.at("Freq"), c.at("Gain"), c.at("Q"));
  }
  pwSaid.emplace_back('G', 0.0, args.at("filter.graph").at("nodes").at(0).at("control").at("Gain"),
                      0.0);
  EXPECT_EQ(pwSaid, apoSaid);
}

TEST_F(CmdEqTest, RefusesBadArgumentsAndPathsWritingNothing) {
  std::ofstream(m_dir.File("house.txt")) << "* a target\n20 6\n200 0\n20000 -3\n";
  std::ofstream(m_dir.File("empty.txt")) << "* nothing\n";
  const std::string apo = " --apo " + F("out.txt");
  const struct {
    std::string arguments;
    int status;
    const char* says;
  } cases[] = {
      {"--max-boost 7", 2, "the largest boost must be 0 to 6 dB"},
      {"--filters 0", 2, "--filters is a whole number"},
      {"--match 15,1000", 2, "lies outside the capture's 20-20000 Hz"},
      {"--match 100", 2, "--match is two frequencies"},
      {"--bass-rise 6", 2, "--bass-rise and --bass-corner go together"},
      {"--target " + F("house.txt") + " --tilt -1", 2, "a target file takes no"},
      {"--target " + F("empty.txt"), 1, "holds no curve"},
      {"--gate -2", 2, "the gate is a length"},
      {"--csv " + F("no/folder/x.csv"), 1, "Cannot save the file to disk..."},
      {"--csv /dev/quorvel-none.csv", 1, "/dev/quorvel-none.csv: No such file or directory"},
      {"--csv " + F("out.txt"), 2, "names the same file as"},
      {"--frd x.frd", 2, ""},
  };
  for (const auto& c : cases) {
    const CliOutcome run = Cli(c.arguments + apo);
    EXPECT_EQ(run.status, c.status) << c.arguments << "\n" << run.output;
    EXPECT_NE(run.output.find(c.says), std::string::npos) << c.arguments << "\n" << run.output;
    EXPECT_FALSE(std::filesystem::exists(m_dir.File("out.txt"))) << c.arguments;
  }
  // a target file with absolute levels is a shape like any other
  EXPECT_EQ(Cli("--target " + F("house.txt") + apo).status, 0);
}

}  // namespace
}  // namespace quorvel

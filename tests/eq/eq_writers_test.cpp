// The four texts of one filter set, read back by real parsers (nlohmann-json, python3's yaml,
// the documented APO grammar) and compared with the filters.
#include "eq/eq_writers.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <nlohmann/json.hpp>
#include <regex>
#include <string>
#include <tuple>
#include <vector>

#include "tests/base/decimal_comma_locale.h"

namespace quorvel {
namespace {

using T = EqFilterType;
using nlohmann::json;

EqFilterSet Set() {
  return {-4.2,
          {{T::kLowShelf, 62.5, -3.0, kShelfQ},
           {T::kPeaking, 120.0, -5.3, 2.1},
           {T::kPeaking, 1234.5, 2.5, 0.456},
           {T::kHighShelf, 8000.0, -2.0, kShelfQ}}};
}

// What a format says of one filter: its type as the format names it, frequency, gain, Q.
using Said = std::tuple<std::string, double, double, double>;

void ExpectSame(const std::vector<Said>& said, const std::vector<const char*>& names) {
  std::vector<Said> wanted;
  for (const EqFilter& f : Set().filters) {
    wanted.emplace_back(names[static_cast<size_t>(f.type)], f.frequencyHz, f.gainDb, f.q);
  }
  EXPECT_EQ(said, wanted);
}

// The YAML as python3's yaml.safe_load reads it, as JSON.
json YamlAsJson(const std::string& yaml) {
  const std::string path = testing::TempDir() + "/quorvel_eq_camilla";
  std::ofstream(path + ".yml") << yaml;
  std::system(("python3 -c 'import json,sys,yaml; print(json.dumps(yaml.safe_load(open(sys.argv[1]"
               "))))' " +
               path + ".yml > " + path + ".json")
                  .c_str());
  return json::parse(std::ifstream(path + ".json"), nullptr, false);
}

TEST(EqWriters, EasyEffectsPresetIsTheFilterSet) {
  const json preset = json::parse(EasyEffectsPreset(Set()));
  EXPECT_EQ(preset.at("output").at("plugins_order"), json::array({"equalizer#0"}));
  EXPECT_EQ(preset.at("output").at("blocklist"), json::array());
  const json& eq = preset.at("output").at("equalizer#0");
  EXPECT_TRUE(eq.at("mode") == "IIR" && eq.at("split-channels") == false &&
              eq.at("num-bands") == 4 && eq.at("left") == eq.at("right"));
  EXPECT_DOUBLE_EQ(eq.at("input-gain").get<double>(), -4.2);
  std::vector<Said> said;
  for (int i = 0; i < 4; ++i) {
    const json& band = eq.at("left").at("band" + std::to_string(i));
    EXPECT_EQ(band.at("mode"), "APO (DR)");
    said.emplace_back(band.at("type"), band.at("frequency"), band.at("gain"), band.at("q"));
  }
  ExpectSame(said, {"Bell", "Lo-shelf", "Hi-shelf"});
}

TEST(EqWriters, CamillaDspYamlIsTheFilterSetWithAPipelineList) {
  const json config = YamlAsJson(CamillaDspFilters(Set(), "Living room"));
  ASSERT_TRUE(config.is_object()) << "python3 with yaml (python3-yaml) could not read it";
  EXPECT_FALSE(config.contains("devices"));
  const std::vector<std::string> names = {"quorvel_preamp", "quorvel_eq_1", "quorvel_eq_2",
                                          "quorvel_eq_3", "quorvel_eq_4"};
  EXPECT_EQ(config.at("pipeline"), json::parse(R"([{"type": "Filter", "channels": [0, 1],
            "names": ["quorvel_preamp", "quorvel_eq_1", "quorvel_eq_2", "quorvel_eq_3",
            "quorvel_eq_4"]}])"));
  const json& filters = config.at("filters");
  EXPECT_EQ(filters.at("quorvel_preamp"),
            json::parse(R"({"type": "Gain", "parameters": {"gain": -4.2}})"));
  std::vector<Said> said;
  for (size_t i = 1; i < names.size(); ++i) {
    EXPECT_EQ(filters.at(names[i]).at("type"), "Biquad");
    const json& p = filters.at(names[i]).at("parameters");
    said.emplace_back(p.at("type"), p.at("freq"), p.at("gain"), p.at("q"));
  }
  ExpectSame(said, {"Peaking", "Lowshelf", "Highshelf"});
}

TEST(EqWriters, ApoTextIsTheFilterSetAndPipeWireQuotesTheName) {
  const std::string apo = ApoText(Set());
  EXPECT_EQ(apo.substr(0, apo.find('\n')), "Preamp: -4.2 dB");
  const std::regex apoLine(
      R"(Filter (\d+): ON (PK|LSC|HSC) Fc (-?[0-9.]+) Hz Gain (-?[0-9.]+) dB Q ([0-9.]+)\n)");
  std::vector<Said> said;
  for (auto m = std::sregex_iterator(apo.begin(), apo.end(), apoLine); m != std::sregex_iterator();
       ++m) {
    EXPECT_EQ(std::stoul((*m)[1]), said.size() + 1);
    said.emplace_back((*m)[2], std::stod((*m)[3]), std::stod((*m)[4]), std::stod((*m)[5]));
  }
  ExpectSame(said, {"PK", "LSC", "HSC"});

  // PipeWire's own reading of the drop-in is tested against a private server; here the name.
  const std::string pw = PipeWireDropIn(Set(), "Living \"room\"\n2");
  EXPECT_NE(pw.find("node.description = \"Quorvel EQ (Living \\\"room\\\" 2)\""),
            std::string::npos);
  EXPECT_NE(pw.find("node.name = \"quorvel_eq.living_room_2\""), std::string::npos);
}

TEST(EqWriters, TextsDoNotFollowTheLocale) {
  const auto all = [] {
    return PipeWireDropIn(Set(), "x") + EasyEffectsPreset(Set()) + CamillaDspFilters(Set(), "x") +
           ApoText(Set());
  };
  const std::string before = all();
  QUORVEL_IN_DECIMAL_COMMA_LOCALE(scope);
  EXPECT_EQ(all(), before);
}

}  // namespace
}  // namespace quorvel

// The four texts of one filter set, read back by real parsers (nlohmann-json, python3's yaml,
// the documented APO grammar) and compared with the filters.
#include "eq/eq_writers.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <nlohmann/json.hpp>
#include <regex>
#include <string>
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
struct Said {
  std::string type;
  double hz, db, q;
};

void ExpectSame(const std::vector<Said>& said, const std::vector<const char*>& names) {
  const EqFilterSet set = Set();
  ASSERT_EQ(said.size(), set.filters.size());
  for (size_t i = 0; i < said.size(); ++i) {
    EXPECT_EQ(said[i].type, names[static_cast<size_t>(set.filters[i].type)]);
    EXPECT_DOUBLE_EQ(said[i].hz, set.filters[i].frequencyHz);
    EXPECT_DOUBLE_EQ(said[i].db, set.filters[i].gainDb);
    EXPECT_DOUBLE_EQ(said[i].q, set.filters[i].q);
  }
}

// The YAML as python3's yaml.safe_load reads it, as JSON.
json YamlAsJson(const std::string& yaml) {
  const std::string path = testing::TempDir() + "/quorvel_eq_camilla.yml";
  FILE* file = std::fopen(path.c_str(), "w");
  std::fputs(yaml.c_str(), file);
  std::fclose(file);
  const std::string command =
      "python3 -c 'import json,sys,yaml; print(json.dumps(yaml.safe_load(open(sys.argv[1]))))' " +
      path;
  FILE* pipe = popen(command.c_str(), "r");
  std::string out;
  char buffer[4096];
  while (pipe != nullptr && std::fgets(buffer, sizeof buffer, pipe) != nullptr) out += buffer;
  if (pipe != nullptr) pclose(pipe);
  return json::parse(out, nullptr, false);
}

TEST(EqWriters, EasyEffectsPresetIsTheFilterSet) {
  const json preset = json::parse(EasyEffectsPreset(Set()));
  const json& output = preset.at("output");
  EXPECT_EQ(output.at("plugins_order"), json::array({"equalizer#0"}));
  EXPECT_EQ(output.at("blocklist"), json::array());
  const json& eq = output.at("equalizer#0");
  EXPECT_EQ(eq.at("mode"), "IIR");
  EXPECT_EQ(eq.at("split-channels"), false);
  EXPECT_DOUBLE_EQ(eq.at("input-gain").get<double>(), -4.2);
  EXPECT_EQ(eq.at("num-bands"), 4);
  EXPECT_EQ(eq.at("left"), eq.at("right"));
  std::vector<Said> said;
  for (int i = 0; i < 4; ++i) {
    const json& band = eq.at("left").at("band" + std::to_string(i));
    EXPECT_EQ(band.at("mode"), "APO (DR)");
    said.push_back({band.at("type"), band.at("frequency"), band.at("gain"), band.at("q")});
  }
  ExpectSame(said, {"Bell", "Lo-shelf", "Hi-shelf"});
}

TEST(EqWriters, CamillaDspYamlIsTheFilterSetWithAPipelineList) {
  for (const CamillaDspVersion version : {CamillaDspVersion::kV3, CamillaDspVersion::kV2}) {
    const json config = YamlAsJson(CamillaDspFilters(Set(), "Living room", version));
    ASSERT_TRUE(config.is_object()) << "python3 with yaml (python3-yaml) could not read it";
    EXPECT_FALSE(config.contains("devices"));
    const json& pipeline = config.at("pipeline");
    ASSERT_TRUE(pipeline.is_array());
    const std::vector<std::string> names = {"quorvel_preamp", "quorvel_eq_1", "quorvel_eq_2",
                                            "quorvel_eq_3", "quorvel_eq_4"};
    if (version == CamillaDspVersion::kV3) {
      ASSERT_EQ(pipeline.size(), 1u);
      EXPECT_EQ(pipeline[0].at("channels"), json::array({0, 1}));
    } else {
      ASSERT_EQ(pipeline.size(), 2u);
      EXPECT_EQ(pipeline[1].at("channel"), 1);
    }
    for (const json& step : pipeline) {
      EXPECT_EQ(step.at("type"), "Filter");
      EXPECT_EQ(step.at("names").get<std::vector<std::string>>(), names);
    }
    const json& filters = config.at("filters");
    EXPECT_EQ(filters.at("quorvel_preamp").at("type"), "Gain");
    EXPECT_DOUBLE_EQ(filters.at("quorvel_preamp").at("parameters").at("gain").get<double>(), -4.2);
    std::vector<Said> said;
    for (size_t i = 1; i < names.size(); ++i) {
      EXPECT_EQ(filters.at(names[i]).at("type"), "Biquad");
      const json& p = filters.at(names[i]).at("parameters");
      said.push_back({p.at("type"), p.at("freq"), p.at("gain"), p.at("q")});
    }
    ExpectSame(said, {"Peaking", "Lowshelf", "Highshelf"});
  }
}

TEST(EqWriters, ApoAndPipeWireTextsAreTheFilterSet) {
  const std::string apo = ApoText(Set());
  EXPECT_EQ(apo.substr(0, apo.find('\n')), "Preamp: -4.2 dB");
  EXPECT_NE(apo.find("Filter 2: ON PK Fc 120.0 Hz Gain -5.3 dB Q 2.100\n"), std::string::npos);
  const std::regex apoLine(
      R"(Filter (\d+): ON (PK|LSC|HSC) Fc (-?[0-9.]+) Hz Gain (-?[0-9.]+) dB Q ([0-9.]+)\n)");
  std::vector<Said> said;
  for (auto m = std::sregex_iterator(apo.begin(), apo.end(), apoLine); m != std::sregex_iterator();
       ++m) {
    EXPECT_EQ(std::stoul((*m)[1]), said.size() + 1);
    said.push_back({(*m)[2], std::stod((*m)[3]), std::stod((*m)[4]), std::stod((*m)[5])});
  }
  ExpectSame(said, {"PK", "LSC", "HSC"});

  const std::string pw = PipeWireDropIn(Set(), "Living \"room\"\n2");
  EXPECT_NE(pw.find("node.description = \"Quorvel EQ (Living \\\"room\\\" 2)\""),
            std::string::npos);
  EXPECT_NE(pw.find("node.name = \"quorvel_eq.living_room_2\""), std::string::npos);
  EXPECT_NE(pw.find("label = bq_highshelf control = { \"Freq\" = 0.0 \"Q\" = 0.7071 "
                    "\"Gain\" = -4.2 }"),
            std::string::npos);
  const std::regex pwNode(
      R"(name = eq_\d+ label = bq_(\w+) control = \{ "Freq" = ([0-9.]+) "Q" = ([0-9.]+) "Gain" = (-?[0-9.]+) \})");
  said.clear();
  for (auto m = std::sregex_iterator(pw.begin(), pw.end(), pwNode); m != std::sregex_iterator();
       ++m) {
    said.push_back({(*m)[1], std::stod((*m)[2]), std::stod((*m)[4]), std::stod((*m)[3])});
  }
  ExpectSame(said, {"peaking", "lowshelf", "highshelf"});
}

TEST(EqWriters, TextsDoNotFollowTheLocale) {
  const std::string texts[] = {PipeWireDropIn(Set(), "x"), EasyEffectsPreset(Set()),
                               CamillaDspFilters(Set(), "x"), ApoText(Set())};
  QUORVEL_IN_DECIMAL_COMMA_LOCALE(scope);
  EXPECT_EQ(PipeWireDropIn(Set(), "x"), texts[0]);
  EXPECT_EQ(EasyEffectsPreset(Set()), texts[1]);
  EXPECT_EQ(CamillaDspFilters(Set(), "x"), texts[2]);
  EXPECT_EQ(ApoText(Set()), texts[3]);
}

}  // namespace
}  // namespace quorvel

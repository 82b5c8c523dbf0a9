// The PipeWire drop-in loaded by a private PipeWire 0.3.65 (its own configuration folder): no
// warning in its log, the sink "Quorvel EQ (NAME)" there, and its filter nodes holding the
// filter set's numbers as PipeWire read them (pw-dump). Skipped where PipeWire is missing.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <regex>
#include <string>
#include <vector>

#include "eq/eq_writers.h"
#include "tests/audio/pulse/pipewire_test_server.h"

namespace quorvel {
namespace {

using T = EqFilterType;

TEST(PipeWireDropIn, LoadsAsASinkWithItsFiltersAndNoWarning) {
  const EqFilterSet set = {-4.2,
                           {{T::kLowShelf, 62.5, -3.0, kShelfQ},
                            {T::kPeaking, 120.0, -5.3, 2.1},
                            {T::kHighShelf, 8000.0, -2.0, kShelfQ}}};
  const std::string name = "Test \"room\"";
  CPipeWireTestServer server;
  server.AddPipeWireDropIn("quorvel-eq.conf", PipeWireDropIn(set, name));
  std::string why;
  if (bool missing = false; !server.Start(&why, &missing)) {
    if (missing) GTEST_SKIP() << why;
    FAIL() << why;
  }
  EXPECT_NE(server.Pactl("list sinks").find("Description: " + PipeWireSinkDescription(name)),
            std::string::npos);

  const std::string dump = server.Folder() + "/pw-dump.json";
  std::system(("PIPEWIRE_RUNTIME_DIR=" + ShellQuoted(server.Folder()) + " pw-dump > " +
               ShellQuoted(dump) + " 2>/dev/null")
                  .c_str());
  auto objects = nlohmann::json::parse(std::ifstream(dump), nullptr, false);
  ASSERT_TRUE(objects.is_array()) << "pw-dump gave no JSON";
  std::map<std::string, double> controls;  // "eq_1:Freq" -> value, from the sink's Props
  for (nlohmann::json& object : objects) {
    nlohmann::json& info = object["info"];
    if (!info.is_object() || info["props"].value("node.name", "") != PipeWireSinkName(name))
      continue;
    EXPECT_EQ(info["props"].value("audio.channels", 0), 2);
    for (nlohmann::json& props : info["params"]["Props"]) {
      const nlohmann::json& p = props["params"];
      for (size_t i = 0; p.is_array() && i + 1 < p.size(); i += 2) {
        if (p[i + 1].is_number()) controls[p[i]] = p[i + 1];
      }
    }
  }
  std::vector<EqFilter> wanted = {{T::kHighShelf, 0.0, set.preampDb, kShelfQ}};
  wanted.insert(wanted.end(), set.filters.begin(), set.filters.end());
  for (size_t i = 0; i < wanted.size(); ++i) {  // PipeWire keeps its controls as floats
    const std::string node = i == 0 ? "preamp:" : "eq_" + std::to_string(i) + ":";
    EXPECT_NEAR(controls[node + "Freq"], wanted[i].frequencyHz, 1e-3) << node;
    EXPECT_NEAR(controls[node + "Gain"], wanted[i].gainDb, 1e-5) << node;
    EXPECT_NEAR(controls[node + "Q"], wanted[i].q, 1e-5) << node;
  }
  const std::string log = ReadTextFile(server.Folder() + "/pipewire.log");
  EXPECT_FALSE(std::regex_search(log, std::regex(R"((^|\n)\[[WE]\])"))) << log;
}

}  // namespace
}  // namespace quorvel

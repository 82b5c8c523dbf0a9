// The PipeWire drop-in loaded by a private PipeWire 0.3.65 (its own configuration folder): no
// warning in its log, the sink "Quorvel EQ (NAME)" there, and its filter nodes holding the
// filter set's numbers as PipeWire read them (pw-dump). Skipped where PipeWire is missing.
#include <gtest/gtest.h>

#include <cstdio>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>

#include "eq/eq_writers.h"
#include "tests/audio/pulse/pipewire_test_server.h"

namespace quorvel {
namespace {

using T = EqFilterType;

std::string Output(const std::string& command) {
  std::string out;
  FILE* pipe = popen(command.c_str(), "r");
  char buffer[4096];
  while (pipe != nullptr && std::fgets(buffer, sizeof buffer, pipe) != nullptr) out += buffer;
  if (pipe != nullptr) pclose(pipe);
  return out;
}

TEST(PipeWireDropIn, LoadsAsASinkWithItsFiltersAndNoWarning) {
  const EqFilterSet set = {-4.2,
                           {{T::kLowShelf, 62.5, -3.0, kShelfQ},
                            {T::kPeaking, 120.0, -5.3, 2.1},
                            {T::kHighShelf, 8000.0, -2.0, kShelfQ}}};
  const std::string name = "Test \"room\"";
  CPipeWireTestServer server;
  server.AddPipeWireDropIn("quorvel-eq.conf", PipeWireDropIn(set, name));
  std::string why;
  bool missing = false;
  if (!server.Start(&why, &missing)) {
    if (missing) GTEST_SKIP() << why;
    FAIL() << why;
  }
  EXPECT_NE(server.Pactl("list short sinks").find(PipeWireSinkName(name) + "\t"),
            std::string::npos);
  EXPECT_NE(server.Pactl("list sinks").find("Description: " + PipeWireSinkDescription(name)),
            std::string::npos);

  const nlohmann::json objects = nlohmann::json::parse(
      Output("PIPEWIRE_RUNTIME_DIR=" + ShellQuoted(server.Folder()) + " pw-dump 2>/dev/null"),
      nullptr, false);
  ASSERT_TRUE(objects.is_array()) << "pw-dump gave no JSON";
  nlohmann::json controls;  // "eq_1:Freq" -> value
  for (const nlohmann::json& object : objects) {
    const nlohmann::json info = object.value("info", nlohmann::json::object());
    if (info.value("props", nlohmann::json::object()).value("node.name", "") !=
        PipeWireSinkName(name)) {
      continue;
    }
    EXPECT_EQ(info.at("props").value("audio.channels", 0), 2);
    for (const nlohmann::json& props : info.at("params").value("Props", nlohmann::json::array())) {
      const nlohmann::json params = props.value("params", nlohmann::json::array());
      for (size_t i = 0; i + 1 < params.size(); i += 2)
        controls[params[i].get<std::string>()] = params[i + 1];
    }
  }
  ASSERT_FALSE(controls.empty()) << "no filter-chain sink in pw-dump";
  EXPECT_NEAR(controls.at("preamp:Gain").get<double>(), set.preampDb, 1e-4);
  EXPECT_EQ(controls.at("preamp:Freq").get<double>(), 0.0);
  for (size_t i = 0; i < set.filters.size(); ++i) {
    const std::string node = "eq_" + std::to_string(i + 1) + ":";
    EXPECT_NEAR(controls.at(node + "Freq").get<double>(), set.filters[i].frequencyHz, 1e-3);
    EXPECT_NEAR(controls.at(node + "Gain").get<double>(), set.filters[i].gainDb, 1e-4);
    EXPECT_NEAR(controls.at(node + "Q").get<double>(), set.filters[i].q, 1e-4);
  }

  std::istringstream log(ReadTextFile(server.Folder() + "/pipewire.log"));
  for (std::string line; std::getline(log, line);) {
    EXPECT_TRUE(line.rfind("[W]", 0) != 0 && line.rfind("[E]", 0) != 0) << line;
  }
}

}  // namespace
}  // namespace quorvel

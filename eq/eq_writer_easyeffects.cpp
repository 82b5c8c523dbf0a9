#include <nlohmann/json.hpp>
#include <string>

#include "eq/eq_writers.h"

namespace quorvel {

namespace {

const char* EasyEffectsType(EqFilterType type) {
  switch (type) {
    case EqFilterType::kLowShelf:
      return "Lo-shelf";
    case EqFilterType::kHighShelf:
      return "Hi-shelf";
    case EqFilterType::kPeaking:
      break;
  }
  return "Bell";
}

nlohmann::ordered_json Band(const char* type, double frequencyHz, double gainDb, double q) {
  return {{"frequency", frequencyHz},
          {"gain", gainDb},
          {"mode", "APO (DR)"},
          {"mute", false},
          {"q", q},
          {"slope", "x1"},
          {"solo", false},
          {"type", type}};
}

}  // namespace

std::string EasyEffectsPreset(const EqFilterSet& set) {
  // nlohmann-json writes numbers in its own locale-independent shortest form, which gives back
  // the rounded values exactly ("-4.2").
  nlohmann::ordered_json channel = nlohmann::ordered_json::object();
  for (size_t i = 0; i < set.filters.size(); ++i) {
    const EqFilter& filter = set.filters[i];
    channel["band" + std::to_string(i)] =
        Band(EasyEffectsType(filter.type), filter.frequencyHz, filter.gainDb, filter.q);
  }
  // EasyEffects keeps at least one band; an empty set is one band switched off.
  if (set.filters.empty()) channel["band0"] = Band("Off", 1000.0, 0.0, 1.0);
  const auto bands = static_cast<int>(set.filters.empty() ? 1 : set.filters.size());
  nlohmann::ordered_json equalizer = {
      {"balance", 0.0},     {"bypass", false},    {"input-gain", set.preampDb}, {"left", channel},
      {"mode", "IIR"},      {"num-bands", bands}, {"output-gain", 0.0},         {"pitch-left", 0.0},
      {"pitch-right", 0.0}, {"right", channel},   {"split-channels", false}};
  const nlohmann::ordered_json preset = {
      {"output",
       {{"blocklist", nlohmann::ordered_json::array()},
        {"equalizer#0", equalizer},
        {"plugins_order", nlohmann::ordered_json::array({"equalizer#0"})}}}};
  return preset.dump(4) + "\n";
}

}  // namespace quorvel

#include "eq/eq_writers.h"

#include <cctype>
#include <string>

#include "base/number_text.h"

namespace quorvel {

namespace {

std::string Hz(double value) {
  return FormatFixed(value, 1);
}
std::string Db(double value) {
  return FormatFixed(value, 1);
}
std::string Q(const EqFilter& filter) {
  return FormatFixed(filter.q, filter.type == EqFilterType::kPeaking ? 3 : 4);
}

// The name on one line: control characters become spaces.
std::string OneLine(const std::string& name) {
  std::string line;
  for (const char c : name) {
    line += static_cast<unsigned char>(c) < 0x20 || c == 0x7f ? ' ' : c;
  }
  return line;
}

// `text` as a quoted string of PipeWire's configuration syntax (SPA JSON).
std::string SpaQuoted(const std::string& text) {
  std::string quoted = "\"";
  for (const char c : OneLine(text)) {
    if (c == '"' || c == '\\') quoted += '\\';
    quoted += c;
  }
  return quoted + "\"";
}

const char* PipeWireLabel(EqFilterType type) {
  switch (type) {
    case EqFilterType::kLowShelf:
      return "bq_lowshelf";
    case EqFilterType::kHighShelf:
      return "bq_highshelf";
    case EqFilterType::kPeaking:
      break;
  }
  return "bq_peaking";
}

const char* CamillaType(EqFilterType type) {
  switch (type) {
    case EqFilterType::kLowShelf:
      return "Lowshelf";
    case EqFilterType::kHighShelf:
      return "Highshelf";
    case EqFilterType::kPeaking:
      break;
  }
  return "Peaking";
}

std::string PipeWireNode(const char* name, const char* label, const std::string& frequency,
                         const std::string& q, const std::string& gain) {
  return std::string("          { type = builtin name = ") + name + " label = " + label +
         " control = { \"Freq\" = " + frequency + " \"Q\" = " + q + " \"Gain\" = " + gain +
         " } }\n";
}

}  // namespace

std::string PipeWireSinkName(const std::string& name) {
  std::string slug;
  for (const char c : name) {
    const auto u = static_cast<unsigned char>(c);
    if (std::isalnum(u) != 0 && u < 0x80) {
      slug += static_cast<char>(std::tolower(u));
    } else if (!slug.empty() && slug.back() != '_') {
      slug += '_';
    }
  }
  while (!slug.empty() && slug.back() == '_') slug.pop_back();
  return "quorvel_eq." + (slug.empty() ? std::string("equaliser") : slug);
}

std::string PipeWireSinkDescription(const std::string& name) {
  return "Quorvel EQ (" + OneLine(name) + ")";
}

std::string PipeWireDropIn(const EqFilterSet& set, const std::string& name) {
  const std::string description = SpaQuoted(PipeWireSinkDescription(name));
  const std::string sink = PipeWireSinkName(name);
  std::string text =
      "# " + PipeWireSinkDescription(name) +
      ": an equaliser made by Quorvel from a measurement.\n"
      "# In ~/.config/pipewire/pipewire.conf.d/ it takes effect when PipeWire restarts\n"
      "# (systemctl --user restart pipewire pipewire-pulse); then choose the output\n"
      "# \"" +
      PipeWireSinkDescription(name) +
      "\". It plays into the default output.\n"
      "context.modules = [\n"
      "  { name = libpipewire-module-filter-chain\n"
      "    args = {\n"
      "      node.description = " +
      description +
      "\n"
      "      media.name = " +
      description +
      "\n"
      "      filter.graph = {\n"
      "        nodes = [\n";
  // The preamp: a high shelf at 0 Hz is a plain gain.
  text += PipeWireNode("preamp", "bq_highshelf", "0.0", FormatFixed(kShelfQ, 4), Db(set.preampDb));
  for (size_t i = 0; i < set.filters.size(); ++i) {
    const EqFilter& filter = set.filters[i];
    const std::string node = "eq_" + std::to_string(i + 1);
    text += PipeWireNode(node.c_str(), PipeWireLabel(filter.type), Hz(filter.frequencyHz),
                         Q(filter), Db(filter.gainDb));
  }
  text += "        ]\n        links = [\n";
  std::string previous = "preamp";
  for (size_t i = 0; i < set.filters.size(); ++i) {
    const std::string node = "eq_" + std::to_string(i + 1);
    text += "          { output = \"" + previous + ":Out\" input = \"" + node + ":In\" }\n";
    previous = node;
  }
  text +=
      "        ]\n"
      "      }\n"
      "      audio.channels = 2\n"
      "      audio.position = [ FL FR ]\n"
      "      capture.props = {\n"
      "        node.name = \"" +
      sink +
      "\"\n"
      "        media.class = Audio/Sink\n"
      "      }\n"
      "      playback.props = {\n"
      "        node.name = \"" +
      sink +
      ".output\"\n"
      "        node.passive = true\n"
      "      }\n"
      "    }\n"
      "  }\n"
      "]\n";
  return text;
}

std::string CamillaDspFilters(const EqFilterSet& set, const std::string& name) {
  std::string text = "# " + PipeWireSinkDescription(name) +
                     ": filters and pipeline made by Quorvel from a measurement, for "
                     "CamillaDSP 3.\n# Merge them with your own configuration's devices section.\n"
                     "filters:\n"
                     "  quorvel_preamp:\n"
                     "    type: Gain\n"
                     "    parameters:\n"
                     "      gain: " +
                     Db(set.preampDb) + "\n";
  std::string names = "      - quorvel_preamp\n";
  for (size_t i = 0; i < set.filters.size(); ++i) {
    const EqFilter& filter = set.filters[i];
    const std::string filterName = "quorvel_eq_" + std::to_string(i + 1);
    text += "  " + filterName +
            ":\n"
            "    type: Biquad\n"
            "    parameters:\n"
            "      type: " +
            CamillaType(filter.type) +
            "\n"
            "      freq: " +
            Hz(filter.frequencyHz) +
            "\n"
            "      gain: " +
            Db(filter.gainDb) +
            "\n"
            "      q: " +
            Q(filter) + "\n";
    names += "      - " + filterName + "\n";
  }
  return text + "pipeline:\n  - type: Filter\n    channels: [0, 1]\n    names:\n" + names;
}

std::string ApoText(const EqFilterSet& set) {
  std::string text = "Preamp: " + Db(set.preampDb) + " dB\n";
  for (size_t i = 0; i < set.filters.size(); ++i) {
    const EqFilter& filter = set.filters[i];
    text += "Filter " + std::to_string(i + 1) + ": ON " + FilterTypeName(filter.type) + " Fc " +
            Hz(filter.frequencyHz) + " Hz Gain " + Db(filter.gainDb) + " dB Q " + Q(filter) + "\n";
  }
  return text;
}

}  // namespace quorvel

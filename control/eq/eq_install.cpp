#include "control/eq/eq_install.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "base/atomic_file.h"
#include "base/messages.h"
#include "eq/eq_writers.h"

namespace quorvel {

namespace {

// What every drop-in Quorvel writes says on its first line.
constexpr char kMarkerStart[] = "# Quorvel EQ (";
constexpr char kMarkerEnd[] = "): an equaliser made by Quorvel from a measurement.";

}  // namespace

std::string PipeWireDropInFolder() {
  const char* config = std::getenv("XDG_CONFIG_HOME");
  if (config != nullptr && config[0] == '/') {
    return std::string(config) + "/pipewire/pipewire.conf.d";
  }
  const char* home = std::getenv("HOME");
  if (home == nullptr || home[0] == '\0') return {};
  return std::string(home) + "/.config/pipewire/pipewire.conf.d";
}

std::string PipeWireDropInFileName(const std::string& name) {
  const std::string sink = PipeWireSinkName(name);
  const size_t dot = sink.find('.');
  return "quorvel-eq-" + (dot == std::string::npos ? sink : sink.substr(dot + 1)) + ".conf";
}

DropInPlace CheckDropInPlace(const std::string& path) {
  std::error_code error;
  const auto status = std::filesystem::symlink_status(path, error);
  if (status.type() == std::filesystem::file_type::not_found) return DropInPlace::kFree;
  if (status.type() != std::filesystem::file_type::regular) return DropInPlace::kForeign;
  std::ifstream in(path, std::ios::binary);
  std::string first;
  if (!in || !std::getline(in, first)) return DropInPlace::kForeign;
  const std::string_view line(first);
  return line.starts_with(kMarkerStart) && line.ends_with(kMarkerEnd) ? DropInPlace::kOurs
                                                                      : DropInPlace::kForeign;
}

std::string InstallQuestion(const std::string& path, DropInPlace place) {
  return std::string(place == DropInPlace::kOurs ? "Replace the equaliser Quorvel installed in\n"
                                                 : "Install the equaliser for PipeWire as\n") +
         path + "?\nPipeWire loads it when it restarts.";
}

Result<std::string> InstallPipeWireDropIn(const std::string& folder, const EqFilterSet& set,
                                          const std::string& name) {
  if (folder.empty()) {
    return Failure{
        "No folder for PipeWire's configuration: neither XDG_CONFIG_HOME nor HOME is set"};
  }
  const std::string path = folder + "/" + PipeWireDropInFileName(name);
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  if (error) {
    return Failure{std::string(kMsgCannotSaveFile) + "\n" + folder + ": " + error.message()};
  }
  if (CheckDropInPlace(path) == DropInPlace::kForeign) {
    return Failure{path + " was not written by Quorvel: it is left as it is"};
  }
  const std::string text = PipeWireDropIn(set, name);
  if (const Result<void> whole = WriteWholeFile(path, text.data(), text.size()); !whole) {
    return Failure{std::string(kMsgCannotSaveFile) + "\n" + whole.Message()};
  }
  return "Installed " + path + ".\nTo make it active, restart PipeWire:\n  " +
         kPipeWireRestartCommand + "\nthen choose the output \"" + PipeWireSinkDescription(name) +
         "\".";
}

}  // namespace quorvel

#include "control/workbench/workbench_recent.h"

#include "base/preferences.h"
#include "measurement/recent_sessions.h"

namespace quorvel {

namespace {

std::string PlaceName(size_t place) {
  return "RecentSession" + std::to_string(place + 1);
}

}  // namespace

std::vector<std::string> ReadRecentSessions(IPreferences& preferences) {
  std::vector<std::string> recent;
  for (size_t place = 0; place < kMostRecentSessions; ++place) {
    std::string folder = preferences.ReadString(PlaceName(place).c_str(), "");
    if (!folder.empty()) recent.push_back(std::move(folder));
  }
  return ExistingRecentSessions(recent);
}

void WriteRecentSessions(IPreferences& preferences, const std::vector<std::string>& recent) {
  size_t place = 0;
  for (const std::string& folder : recent) {
    if (place == kMostRecentSessions) break;
    if (folder.size() > kMaxPreferenceText) continue;
    preferences.WriteString(PlaceName(place++).c_str(), folder);
  }
  for (; place < kMostRecentSessions; ++place)
    preferences.WriteString(PlaceName(place).c_str(), "");
}

}  // namespace quorvel

#include "measurement/recent_sessions.h"

#include <sys/stat.h>

#include <set>

#include "measurement/session_paths.h"

namespace quorvel {

namespace {

// The folders in order, each once and normal, at most kMostRecentSessions of them.
std::vector<std::string> Distinct(const std::vector<std::string>& folders, bool existing) {
  std::vector<std::string> list;
  std::set<std::string> seen;
  for (const std::string& folder : folders) {
    if (folder.empty()) continue;
    const std::string normal = NormalPath(folder);
    if (!seen.insert(normal).second) continue;
    struct stat info {};
    const std::string session = normal + "/" + kSessionFileName;
    if (existing && (::stat(session.c_str(), &info) != 0 || !S_ISREG(info.st_mode))) continue;
    list.push_back(normal);
    if (list.size() == kMostRecentSessions) break;
  }
  return list;
}

}  // namespace

std::vector<std::string> PushRecentSession(const std::vector<std::string>& recent,
                                           const std::string& folder) {
  std::vector<std::string> list{folder};
  list.insert(list.end(), recent.begin(), recent.end());
  return Distinct(list, false);
}

std::vector<std::string> ExistingRecentSessions(const std::vector<std::string>& recent) {
  return Distinct(recent, true);
}

}  // namespace quorvel

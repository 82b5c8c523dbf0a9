#pragma once
// The recent sessions kept in the preferences, one folder a text: "RecentSession1" (the newest)
// to "RecentSession10". User-interface thread.
#include <string>
#include <vector>

namespace quorvel {

class IPreferences;

// The folders stored, newest first, without empty texts and without those that hold no
// session.json any more (ExistingRecentSessions).
[[nodiscard]] std::vector<std::string> ReadRecentSessions(IPreferences& preferences);

// Stores the list (at most kMostRecentSessions) and empties the places after it. A folder
// whose path is longer than a preference text holds is left out.
void WriteRecentSessions(IPreferences& preferences, const std::vector<std::string>& recent);

}  // namespace quorvel

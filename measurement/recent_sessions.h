#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace quorvel {

// The list of recently opened session folders, newest first; the window keeps it in its
// preferences and gives it here to be changed. User-interface thread.

inline constexpr size_t kMostRecentSessions = 10;

// The list with folder in front, once (the same folder written another way counts as the same),
// and no more than kMostRecentSessions folders.
[[nodiscard]] std::vector<std::string> PushRecentSession(const std::vector<std::string>& recent,
                                                         const std::string& folder);

// The list without the folders that hold no session.json any more, and without repeats.
[[nodiscard]] std::vector<std::string> ExistingRecentSessions(
    const std::vector<std::string>& recent);

}  // namespace quorvel

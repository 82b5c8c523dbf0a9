// The recent sessions: newest first, each once, at most ten, and only those still there.
#include "measurement/recent_sessions.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "tests/measurement/session_test_folder.h"

namespace quorvel {
namespace {

TEST(RecentSessions, NewestFirstEachOnceAtMostTenOnlyThoseStillThere) {
  std::vector<std::string> recent;
  for (int i = 0; i < 12; ++i) recent = PushRecentSession(recent, "/s/" + std::to_string(i));
  ASSERT_EQ(recent.size(), kMostRecentSessions);
  EXPECT_EQ(recent.front(), "/s/11");
  EXPECT_EQ(recent.back(), "/s/2");
  recent = PushRecentSession(recent, "/s/./5/");
  EXPECT_EQ(recent.size(), 10u);
  EXPECT_EQ(recent[0], "/s/5");
  EXPECT_EQ(recent[1], "/s/11");
  EXPECT_EQ(std::count(recent.begin(), recent.end(), "/s/5"), 1);

  const std::string folder = sessiontest::MakeFolder();
  for (const char* name : {"kept", "empty"})
    std::filesystem::create_directories(folder + "/" + name);
  sessiontest::Put(folder + "/kept/session.json", "{}");
  EXPECT_EQ(ExistingRecentSessions(
                {folder + "/kept", folder + "/empty", folder + "/gone", folder + "/kept/"}),
            std::vector<std::string>{folder + "/kept"});
}

}  // namespace
}  // namespace quorvel

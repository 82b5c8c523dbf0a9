// The recent sessions through the preferences, on real folders.
#include "control/workbench/workbench_recent.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "base/memory_preferences.h"
#include "tests/files/wave_builder.h"

namespace quorvel {
namespace {

TEST(WorkbenchRecent, KeptInOrderWithoutTooLongOrVanishedFolders) {
  wavetest::ScratchFolder dir;
  const std::string a = dir.File("a"), b = dir.File("b"), gone = dir.File("gone");
  for (const std::string& folder : {a, b}) {
    std::filesystem::create_directories(folder);
    std::ofstream(folder + "/session.json") << "{}";
  }
  const std::string tooLong = "/" + std::string(600, 'x');
  CMemoryPreferences preferences;
  WriteRecentSessions(preferences, {b, tooLong, gone, a});
  EXPECT_EQ(preferences.StoredText("RecentSession3"), a);
  EXPECT_EQ(ReadRecentSessions(preferences), (std::vector<std::string>{b, a}));
  WriteRecentSessions(preferences, {a});
  EXPECT_EQ(preferences.StoredText("RecentSession2"), "");
  EXPECT_EQ(ReadRecentSessions(preferences), std::vector<std::string>{a});
}

}  // namespace
}  // namespace quorvel

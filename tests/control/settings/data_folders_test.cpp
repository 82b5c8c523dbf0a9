// The data folders and the help page at start-up, on real folders in a scratch tree laid out as
// a build tree, an installed tree and a user's data folder.
#include "control/settings/data_folders.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "base/memory_preferences.h"
#include "base/shared_state.h"

namespace quorvel {

namespace {

namespace fs = std::filesystem;

class DataFolders : public testing::Test {
 protected:
  void SetUp() override {
    m_root =
        fs::temp_directory_path() / ("quorvel_data_folders_" + std::to_string(::getpid()) + "_" +
                                     testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(m_root / "tree" / "bin");
    m_exe = (m_root / "tree" / "bin").string();
  }
  void TearDown() override { fs::remove_all(m_root); }
  void Touch(const fs::path& file, const std::string& text = "x") {
    fs::create_directories(file.parent_path());
    std::ofstream(file) << text;
  }
  void Resolve(bool portable) {
    if (portable) Touch(fs::path(m_exe) / kPortableMarkerName, "");
    ResolveDataFolders(m_preferences, m_shared, m_exe, (m_root / "user").string());
  }

  fs::path m_root;
  std::string m_exe;
  CMemoryPreferences m_preferences;
  CSharedState m_shared;
};

TEST_F(DataFolders, FirstRunOfAPortableCopyStoresAndMakesThemBesideTheExecutable) {
  Resolve(true);
  EXPECT_EQ(std::string(m_shared.m_szChartFolder), m_exe + "/CalibFiles");
  EXPECT_EQ(std::string(m_shared.m_szWavPath), m_exe + "/Wav");
  EXPECT_EQ(std::string(m_shared.m_szCurvesDir), m_exe + "/Curves");
  EXPECT_EQ(m_preferences.StoredText(kPrefCalibFiles), m_exe + "/CalibFiles");
  EXPECT_EQ(m_preferences.StoredText(kPrefWav), m_exe + "/Wav");
  EXPECT_EQ(m_preferences.StoredText(kPrefCurves), m_exe + "/Curves");
  EXPECT_EQ(m_preferences.WriteCount(kPrefInstallDataDir), 1);  // stored empty
  EXPECT_EQ(m_preferences.StoredText(kPrefInstallDataDir), "");
  for (const char* name : {"CalibFiles", "Wav", "Curves"}) {
    EXPECT_TRUE(fs::is_directory(fs::path(m_exe) / name)) << name;
  }
}

TEST_F(DataFolders, WithoutTheMarkerEvenAWritableFolderUsesTheUsersDataFolder) {
  Resolve(false);
  const std::string user = (m_root / "user").string();
  EXPECT_EQ(std::string(m_shared.m_szChartFolder), user + "/CalibFiles");
  EXPECT_EQ(std::string(m_shared.m_szCurvesDir), user + "/Curves");
  EXPECT_TRUE(fs::is_directory(m_root / "user" / "Wav"));
  EXPECT_FALSE(fs::exists(fs::path(m_exe) / "Wav"));
}

TEST_F(DataFolders, InstallDataDirIsTheBaseWhenSet) {
  const std::string data = (m_root / "data").string();
  m_preferences.WriteString(kPrefInstallDataDir, data);
  Resolve(true);
  EXPECT_EQ(std::string(m_shared.m_szInstallDataDir), data);
  EXPECT_EQ(std::string(m_shared.m_szChartFolder), data + "/CalibFiles");
  EXPECT_EQ(m_preferences.StoredText(kPrefWav), data + "/Wav");
  // a relative one lies beside the executable, never in the current folder
  m_preferences.WriteString(kPrefInstallDataDir, "../share");
  m_preferences.WriteString(kPrefCalibFiles, "");
  Resolve(false);
  EXPECT_EQ(std::string(m_shared.m_szChartFolder), (m_root / "tree/share/CalibFiles").string());
}

TEST_F(DataFolders, ARelativeStoredFolderLiesInTheDataFolder) {
  const fs::path started = fs::current_path();
  fs::create_directories(m_root / "cwd");
  fs::current_path(m_root / "cwd");
  m_preferences.WriteString(kPrefCalibFiles, "mics");
  m_preferences.WriteString(kPrefWav, "./captures/../Wav");
  Resolve(false);
  fs::current_path(started);
  EXPECT_EQ(m_preferences.StoredText(kPrefCalibFiles), (m_root / "user" / "mics").string());
  EXPECT_EQ(std::string(m_shared.m_szWavPath), (m_root / "user" / "Wav").string());
  EXPECT_TRUE(fs::is_directory(m_root / "user" / "mics"));
  EXPECT_TRUE(fs::is_empty(m_root / "cwd"));
}

TEST_F(DataFolders, AnEmptyFolderGivesWayToASiblingOfTheExecutablesFolderForThisRun) {
  // The stored chart folder holds no chart; the one beside bin/ does (in a subfolder).
  const std::string stored = (m_root / "charts").string();
  m_preferences.WriteString(kPrefCalibFiles, stored);
  Touch(m_root / "tree" / "CalibFiles" / "mics" / "mic-1234.txt");
  Touch(m_root / "tree" / "Curves" / "notes.txt");  // not a picture: no use for Curves
  Resolve(true);
  EXPECT_EQ(std::string(m_shared.m_szChartFolder), (m_root / "tree" / "CalibFiles").string());
  EXPECT_EQ(m_preferences.StoredText(kPrefCalibFiles), stored);  // unchanged
  EXPECT_TRUE(fs::is_directory(stored));                         // made all the same
  EXPECT_EQ(std::string(m_shared.m_szCurvesDir), m_exe + "/Curves");
  // a folder of its own with a chart in it stays
  Touch(fs::path(stored) / "own.FRD");
  Resolve(true);
  EXPECT_EQ(std::string(m_shared.m_szChartFolder), stored);
}

TEST_F(DataFolders, AFileThatIsGoneNeverComesBackAsAFolder) {
  // "Wav" and "Curves" also hold the last file's path
  const fs::path wav = m_root / "Wav" / "capture.wav", curve = m_root / "pics" / "curve3.jpg";
  m_preferences.WriteString(kPrefWav, wav.string());
  m_preferences.WriteString(kPrefCurves, curve.string());
  Resolve(true);
  EXPECT_FALSE(fs::exists(wav));
  EXPECT_FALSE(fs::exists(curve.parent_path()));
}

TEST_F(DataFolders, TheHelpPageIsLookedUpBesideTheExecutableThenInDocThenInstalled) {
  const std::string installed = (m_root / "tree" / "share" / "quorvel").string();
  EXPECT_EQ(FindHelpFile(m_exe, {installed}), "");
  Touch(fs::path(installed) / "Quorvel.html");
  EXPECT_EQ(FindHelpFile(m_exe, {"", installed}), installed + "/Quorvel.html");
  Touch(m_root / "tree" / "Doc" / "Quorvel.html");
  EXPECT_EQ(FindHelpFile(m_exe, {installed}), (m_root / "tree" / "Doc" / "Quorvel.html").string());
  Touch(fs::path(m_exe) / "Quorvel.html", "");  // an empty page does not count
  EXPECT_EQ(FindHelpFile(m_exe, {installed}), (m_root / "tree" / "Doc" / "Quorvel.html").string());
  Touch(fs::path(m_exe) / "Quorvel.html", "<html></html>");
  EXPECT_EQ(FindHelpFile(m_exe, {installed}), m_exe + "/Quorvel.html");
}

TEST(DataFolderPaths, FullPathsLoseDotsAndTrailingSeparators) {
  EXPECT_EQ(FullPath("/a/b/../c/"), "/a/c");
  EXPECT_EQ(FullPath("/a/./b"), "/a/b");
  EXPECT_EQ(FullPath("/"), "/");
  EXPECT_EQ(FullPath("rel"), (fs::current_path() / "rel").string());
}

}  // namespace

}  // namespace quorvel

// The settings file as a file, on real files in a scratch folder: what stands at its path, and
// an unreadable file kept aside without ever replacing an earlier kept one.
#include "control/settings_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace quorvel {

namespace {

namespace fs = std::filesystem;

class SettingsFile : public testing::Test {
 protected:
  void SetUp() override {
    m_dir = fs::temp_directory_path() / ("quorvel_settings_file_" + std::to_string(::getpid()));
    fs::create_directories(m_dir);
    ::setenv("TZ", "UTC0", 1);  // the kept file's name is in local time
    ::tzset();
  }
  void TearDown() override { fs::remove_all(m_dir); }
  std::string Text(const fs::path& file) {
    std::stringstream text;
    text << std::ifstream(file).rdbuf();
    return text.str();
  }
  fs::path m_dir;
};

TEST_F(SettingsFile, OnlyARegularFileIsOpened) {
  std::ofstream(m_dir / "plain") << "[Preferences]\n";
  ASSERT_EQ(mkfifo((m_dir / "pipe").c_str(), 0600), 0);
  fs::create_symlink(m_dir / "plain", m_dir / "link-to-plain");
  fs::create_symlink(m_dir / "pipe", m_dir / "link-to-pipe");
  const struct {
    const char* name;
    SettingsFileKind kind;
  } cases[] = {
      {"plain", SettingsFileKind::kRegular},      {"link-to-plain", SettingsFileKind::kRegular},
      {"missing", SettingsFileKind::kMissing},    {"pipe", SettingsFileKind::kOther},
      {"link-to-pipe", SettingsFileKind::kOther}, {".", SettingsFileKind::kOther}};
  for (const auto& c : cases) {
    EXPECT_EQ(InspectSettingsFile((m_dir / c.name).string()), c.kind) << c.name;
  }
}

TEST_F(SettingsFile, AnUnreadableFileIsKeptAsideBesideItNeverOverAnEarlierOne) {
  const fs::path file = m_dir / "Quorvel.conf";
  const std::time_t when = 1700000000;
  std::string reason;
  std::ofstream(file) << "[Preferences\nFmin=20\n";
  const std::string first = KeepSettingsFileAside(file.string(), when, &reason);
  ASSERT_EQ(first, file.string() + ".unreadable-20231114-221320") << reason;
  std::ofstream(file) << "[Preferences\nFmin=40\n";  // broken again within the same second
  const std::string second = KeepSettingsFileAside(file.string(), when, &reason);
  EXPECT_EQ(second, first + "-2");
  EXPECT_FALSE(fs::exists(file));
  EXPECT_EQ(Text(first), "[Preferences\nFmin=20\n");
  EXPECT_EQ(Text(second), "[Preferences\nFmin=40\n");
  EXPECT_EQ(KeepSettingsFileAside(file.string(), when, &reason), "");  // nothing left to keep
  EXPECT_FALSE(reason.empty());
}

}  // namespace

}  // namespace quorvel

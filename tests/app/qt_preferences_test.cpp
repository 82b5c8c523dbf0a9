// The window's preferences in their INI file: texts whole as UTF-8 across a restart, the length
// limit, 32-bit numbers, a named pipe and a configuration folder that cannot be written.
#include "app/qt_preferences.h"

#include <sys/stat.h>

#include <fstream>

#include "tests/app/gui_test_support.h"

namespace quorvel {

namespace {

using QtPreferencesTest = GuiTest;

TEST_F(QtPreferencesTest, TheFileLivesUnderTheUsersConfigurationFolder) {
  EXPECT_EQ(CPreferences::FileName().toStdString(),
            (m_folder / "config" / "Velkar" / "Quorvel.conf").string());
  ASSERT_TRUE(m_preferences.OpenKeys());
  m_preferences.WriteInt(kPrefVolume, 7);  // synced at once: the file holds it now
  std::ifstream file(m_folder / "config" / "Velkar" / "Quorvel.conf");
  const std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  EXPECT_NE(text.find("[Preferences]"), std::string::npos) << text;
  EXPECT_NE(text.find("Volume=7"), std::string::npos) << text;
}

TEST_F(QtPreferencesTest, TextsSurviveARestartWhole) {
  const std::string longest = "/home/jos\xC3\xA9/" + std::string(519 - 12, 'm');
  ASSERT_EQ(longest.size(), 519u);
  const struct {
    const char* name;
    std::string text;
  } cases[] = {
      {kPrefWav, "/home/jos\xC3\xA9/Messungen"},
      {kPrefAudioInPeripheral,
       "\xC3\x89"
       "cho mic (USB)"},
      {kPrefCalibFiles, longest},
      {kPrefMicroSelected, "  leading spaces, a = sign; and \"quotes\""},
  };
  {
    CPreferences first;
    ASSERT_TRUE(first.OpenKeys());
    for (const auto& c : cases) first.WriteString(c.name, c.text);
  }
  CPreferences second;  // the next run
  ASSERT_TRUE(second.OpenKeys());
  for (const auto& c : cases) EXPECT_EQ(second.ReadString(c.name, "default"), c.text) << c.name;
}

TEST_F(QtPreferencesTest, NumbersAreThirtyTwoBitIntegers) {
  Store(kPrefAudioInGain, "not a number");
  Store(kPrefVolume, "4294967296");  // beyond 32 bits
  ASSERT_TRUE(m_preferences.OpenKeys());
  EXPECT_EQ(m_preferences.ReadInt(kPrefAudioInGain, 12), 12);  // as if missing: the default
  EXPECT_EQ(Stored(kPrefAudioInGain).toInt(), 12);
  EXPECT_EQ(m_preferences.ReadInt(kPrefVolume, 16), 16);
  m_preferences.WriteInt(kPrefVolume, -2147483647 - 1);
  EXPECT_EQ(m_preferences.ReadInt(kPrefVolume, 16), -2147483647 - 1);
  m_preferences.WriteDouble(kPrefFmin, 1400.0);
  EXPECT_EQ(Stored(kPrefFmin).toString(), "1400.000000");
}

TEST_F(QtPreferencesTest, ANamedPipeIsRefusedWithoutWaitingForAWriter) {
  const std::filesystem::path file = CPreferences::FileName().toStdString();
  std::filesystem::create_directories(file.parent_path());
  ASSERT_EQ(::mkfifo(file.c_str(), 0600), 0);
  EXPECT_FALSE(m_preferences.OpenKeys());
  EXPECT_EQ(m_preferences.Problem(), file.string() + " is not a regular file");
}

TEST_F(QtPreferencesTest, AConfigurationFolderThatCannotBeMadeCannotBeOpened) {
  // $XDG_CONFIG_HOME names a file: no folder can be made in it
  const auto file = m_folder / "not-a-folder";
  std::ofstream(file) << "x";
  ::setenv("XDG_CONFIG_HOME", file.c_str(), 1);
  EXPECT_FALSE(m_preferences.OpenKeys());
  EXPECT_EQ(m_preferences.ReadString(kPrefWav, "default"), "default");  // nothing is stored
}

}  // namespace

}  // namespace quorvel

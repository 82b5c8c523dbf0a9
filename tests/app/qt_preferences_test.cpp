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
      {kPrefCurves, "/home/caf\xE9/Kurven \x01\\x"},  // not UTF-8: byte for byte
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

// The file as it stands decides where the settings live: a read-only one (or one in a read-only
// folder) keeps this run's changes in memory and is never written, a text that is not UTF-8
// keeps its bytes, one of 2 MB is kept aside, or left unread where it cannot be.
TEST_F(QtPreferencesTest, WhatTheFileHoldsAndAllows) {
  const std::string path = CPreferences::FileName().toStdString();
  const std::string folder = std::filesystem::path(path).parent_path().string();
  const std::string plain = "[Preferences]\nWav=/data/Wav\n",
                    latin1 = "[Preferences]\nWav=/caf\xE9\n";
  const std::string huge = plain + ";" + std::string(2 << 20, '#') + "\n";
  const struct {
    std::string bytes;
    mode_t mode, folderMode;
    const char* notWritable;  // after the path
    std::string wav;
  } cases[] = {
      {plain, 0444, 0755, ": Permission denied", "/data/Wav"},
      {plain, 0644, 0555, ": its folder cannot be written (Permission denied)", "/data/Wav"},
      {latin1, 0644, 0755, "", "/caf\xE9"},
      {huge, 0644, 0755, "", "default"},
      {huge, 0644, 0555, " is larger than 1 MB and could not be kept aside: Permission denied",
       "default"},
  };
  for (const auto& c : cases) {
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    std::ofstream(path, std::ios::binary) << c.bytes;
    ASSERT_EQ(::chmod(path.c_str(), c.mode) | ::chmod(folder.c_str(), c.folderMode), 0);
    const CFilePermissionsForRoot permissions;
    CPreferences preferences;
    ASSERT_TRUE(preferences.OpenKeys());
    const bool writable = std::string(c.notWritable).empty();
    EXPECT_EQ(preferences.NotWritable(), writable ? "" : path + c.notWritable);
    EXPECT_EQ(preferences.KeptAside().empty(), !writable || c.bytes != huge);
    EXPECT_EQ(preferences.ReadString(kPrefWav, "default"), c.wav);
    preferences.WriteInt(kPrefVolume, 7);
    EXPECT_EQ(preferences.ReadInt(kPrefVolume, 16), 7);
    std::ifstream file(path, std::ios::binary);
    const std::string now((std::istreambuf_iterator<char>(file)), {});
    EXPECT_EQ(now.find("Volume=7") != std::string::npos, writable) << now;
    if (c.bytes == latin1) {
      EXPECT_NE(now.find("Wav=@ByteArray(/caf\\xe9)"), std::string::npos) << now;
    }
    ::chmod(folder.c_str(), 0755);
  }
}

}  // namespace

}  // namespace quorvel

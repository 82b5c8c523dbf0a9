// The window's preferences in their INI file: texts whole as UTF-8 across a restart, the length
// limit, 32-bit numbers, a named pipe, and files that cannot be written, are not UTF-8 or are
// too large.
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

// The file as it stands decides where the settings live: a read-only one keeps this run's
// changes in memory, a text that is not UTF-8 keeps its bytes, one of 2 MB is kept aside.
TEST_F(QtPreferencesTest, WhatTheFileHoldsAndAllowsAcrossARestart) {
  const std::string path = CPreferences::FileName().toStdString();
  const std::string plain = "[Preferences]\nWav=/data/Wav\n";
  const std::string latin1 =
      "[Preferences]\nWav=/data/caf\xE9/Wav\xE9\nCalibFiles=/home/jos\xC3\xA9\n";
  const struct {
    std::string bytes;
    mode_t mode;
    const char* notWritable;  // after the path
    std::string wav;          // read in this run and the next
  } cases[] = {
      {plain, 0444, ": Permission denied", "/data/Wav"},
      {latin1, 0644, "", "/data/caf\xE9/Wav\xE9"},
      {latin1, 0444, ": Permission denied", "/data/caf\xE9/Wav\xE9"},
      {plain + ";" + std::string(2 << 20, '#') + "\n", 0644, "", "default"},
  };
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  for (const auto& c : cases) {
    std::filesystem::remove(path);
    std::ofstream(path, std::ios::binary) << c.bytes;
    ASSERT_EQ(::chmod(path.c_str(), c.mode), 0);
    const CFilePermissionsForRoot permissions;
    CPreferences first;
    ASSERT_TRUE(first.OpenKeys());
    const bool writable = std::string(c.notWritable).empty();
    EXPECT_EQ(first.NotWritable(), writable ? "" : path + c.notWritable);
    EXPECT_EQ(first.KeptAside().empty(), c.bytes.size() < 1000) << c.bytes.size();
    EXPECT_EQ(first.ReadString(kPrefWav, "default"), c.wav);
    first.WriteInt(kPrefVolume, 7);
    EXPECT_EQ(first.ReadInt(kPrefVolume, 16), 7);
    CPreferences next;
    ASSERT_TRUE(next.OpenKeys());
    EXPECT_EQ(next.ReadString(kPrefWav, "other"), c.wav);
    EXPECT_EQ(next.ReadInt(kPrefVolume, 16), writable ? 7 : 16);
    std::ifstream file(path, std::ios::binary);
    const std::string now((std::istreambuf_iterator<char>(file)), {});
    if (!writable) {
      EXPECT_EQ(now, c.bytes);  // never written
    } else if (c.bytes == latin1) {
      EXPECT_NE(now.find("CalibFiles=/home/jos\xC3\xA9\n"), std::string::npos) << now;
    }
  }
}

}  // namespace

}  // namespace quorvel

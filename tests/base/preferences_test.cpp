// The preferences' rules on the in-memory store: defaults stored on a missing or blank value,
// the length limit, "%lf" numbers whatever the locale, 32-bit numbers.
#include "base/preferences.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "base/memory_preferences.h"
#include "tests/base/decimal_comma_locale.h"

namespace quorvel {

namespace {

TEST(Preferences, EachValueHasItsDefault) {
  CMemoryPreferences preferences;
  EXPECT_EQ(preferences.ReadString(kPrefAudioInPeripheral, kDefaultAudioInPeripheral),
            "Microphone");
  EXPECT_EQ(preferences.ReadInt(kPrefAudioInGain, kDefaultAudioInGain), 12);
  EXPECT_EQ(preferences.ReadInt(kPrefVolume, kDefaultVolume), 16);
  EXPECT_EQ(preferences.ReadDouble(kPrefFmin, kDefaultFmin), 20.0);
  EXPECT_EQ(preferences.ReadDouble(kPrefFmax, kDefaultFmax), 20000.0);
  EXPECT_EQ(preferences.ReadString(kPrefInstallDataDir, kDefaultInstallDataDir), "");
  EXPECT_EQ(preferences.ReadString(kPrefMicroSelected, kDefaultMicroSelected), "");
  // Every read of a missing value stored its default, numbers as "%lf" text.
  EXPECT_EQ(preferences.StoredText(kPrefAudioInPeripheral), "Microphone");
  EXPECT_EQ(preferences.StoredText(kPrefFmin), "20.000000");
  EXPECT_EQ(preferences.StoredText(kPrefFmax), "20000.000000");
  EXPECT_EQ(preferences.ReadInt(kPrefVolume, 3), 16);  // now stored: the default is not used
}

TEST(Preferences, AMissingOrBlankTextReadsAsTheDefaultAndStoresIt) {
  struct Case {
    const char* stored;  // null: missing
    const char* read;
  };
  const Case cases[] = {
      {nullptr, "Default"},
      {"", "Default"},
      {"    ", "Default"},
      {"\t \x7F\r\n", "Default"},  // only blanks, control bytes and DEL
      {"\t Mic", "\t Mic"},        // something above 0x20 anywhere in the text counts
      {"\x7F"
       "Mic",
       "\x7F"
       "Mic"},
      {"  Mic", "  Mic"},
      {"USB Mic 2", "USB Mic 2"},
      {"Mic \xC3\xA9t\xC3\xA9", "Mic \xC3\xA9t\xC3\xA9"},
      // A UTF-8 name whose first byte is above 0x7F: a device "Echo mic" with an accent, or a
      // folder under a user "josé", must survive a restart.
      {"\xC3\x89"
       "cho mic",
       "\xC3\x89"
       "cho mic"},
      {"\xE9\x9F\xB3", "\xE9\x9F\xB3"},  // one CJK character and nothing else
  };
  for (const Case& c : cases) {
    CMemoryPreferences preferences;
    if (c.stored != nullptr) preferences.WriteString("Name", c.stored);
    const int writes = preferences.WriteCount("Name");
    EXPECT_EQ(preferences.ReadString("Name", "Default"), c.read) << (c.stored ? c.stored : "-");
    EXPECT_EQ(preferences.StoredText("Name"), c.read);
    EXPECT_EQ(preferences.WriteCount("Name") - writes, std::string(c.read) == "Default" ? 1 : 0);
  }
}

TEST(Preferences, TextsHoldAtMost519BytesAndAreNeverCutInsideACharacter) {
  CMemoryPreferences preferences;
  const std::string longest(519, 'a');
  preferences.WriteString("Path", longest);
  EXPECT_EQ(preferences.ReadString("Path", "d"), longest);
  preferences.WriteString("Path", std::string(600, 'b'));
  EXPECT_EQ(preferences.StoredText("Path"), std::string(519, 'b'));
  // 518 bytes and a two-byte character: the character does not fit and is left out whole.
  preferences.WriteString("Path", std::string(518, 'c') + "\xC3\xA9");
  EXPECT_EQ(preferences.StoredText("Path"), std::string(518, 'c'));
  // A longer text stored by someone else cannot be read and gives way to the default.
  CMemoryPreferences other;
  EXPECT_EQ(other.ReadString("Path", std::string(700, 'x')), std::string(519, 'x'));
}

TEST(Preferences, NumbersAreWrittenAndReadAsPercentLfText) {
  struct Case {
    const char* stored;
    double read;
  };
  const Case cases[] = {
      {"20.000000", 20.0}, {"  +250.5Hz", 250.5}, {"-3", -3.0}, {"1,5", 1.0},  {"1e3", 1000.0},
      {"0x10", 16.0},      {"abc", 0.0},          {"+-1", 0.0}, {".25", 0.25}, {"1e999", 20.0},
      {"1e-999", 0.0},     {" 7", 7.0},           {"\t7", 7.0}, {"nan", 20.0}, {"-inf", 20.0},
  };
  for (const Case& c : cases) {
    CMemoryPreferences preferences;
    preferences.WriteString(kPrefFmin, c.stored);
    EXPECT_EQ(preferences.ReadDouble(kPrefFmin, 20.0), c.read) << c.stored;
  }
  CMemoryPreferences preferences;
  preferences.WriteDouble(kPrefFmax, 12345.6789);
  EXPECT_EQ(preferences.StoredText(kPrefFmax), "12345.678900");
  EXPECT_DOUBLE_EQ(preferences.ReadDouble(kPrefFmax, 0.0), 12345.6789);
  preferences.WriteDouble(kPrefFmax, -0.5);
  EXPECT_EQ(preferences.StoredText(kPrefFmax), "-0.500000");
  // An empty or blank number gives the default, stored.
  preferences.WriteString(kPrefFmin, "   ");
  EXPECT_EQ(preferences.ReadDouble(kPrefFmin, 31.5), 31.5);
  EXPECT_EQ(preferences.StoredText(kPrefFmin), "31.500000");
}

TEST(Preferences, NumbersDoNotDependOnTheUsersLocale) {
  QUORVEL_IN_DECIMAL_COMMA_LOCALE(comma);
  CMemoryPreferences preferences;
  preferences.WriteDouble(kPrefFmin, 31.5);
  EXPECT_EQ(preferences.StoredText(kPrefFmin), "31.500000");
  EXPECT_EQ(preferences.ReadDouble(kPrefFmin, 0.0), 31.5);
  // A text stored by another run is read with its decimal point too; a comma ends the number,
  // as it does for "%lf" in the C locale.
  preferences.WriteString(kPrefFmax, "12345.678900");
  EXPECT_EQ(preferences.ReadDouble(kPrefFmax, 0.0), 12345.6789);
  preferences.WriteString(kPrefFmax, "2,5");
  EXPECT_EQ(preferences.ReadDouble(kPrefFmax, 0.0), 2.0);
}

TEST(Preferences, WholeNumbersAreStoredAsNumbers) {
  CMemoryPreferences preferences;
  EXPECT_EQ(preferences.ReadInt(kPrefAudioInGain, kDefaultAudioInGain), 12);
  EXPECT_EQ(preferences.WriteCount(kPrefAudioInGain), 1);
  preferences.WriteInt(kPrefAudioInGain, -7);
  EXPECT_EQ(preferences.ReadInt(kPrefAudioInGain, kDefaultAudioInGain), -7);
  preferences.WriteInt(kPrefVolume, 2147483647);
  EXPECT_EQ(preferences.ReadInt(kPrefVolume, 0), 2147483647);
  EXPECT_EQ(preferences.WriteCount(kPrefAudioInGain), 2);
}

}  // namespace

}  // namespace quorvel

// The output preference's default is the output list's mapper entry, as the store keeps it.
#include "control/preference_defaults.h"

#include <gtest/gtest.h>

#include "base/memory_preferences.h"
#include "base/preferences.h"

namespace quorvel {

namespace {

TEST(PreferenceDefaults, OutputIsTheMapperEntry) {
  CMemoryPreferences preferences;
  EXPECT_EQ(preferences.ReadString(kPrefAudioOutPeripheral, kDefaultAudioOutPeripheral),
            "Default Audio Output");
  EXPECT_EQ(preferences.StoredText(kPrefAudioOutPeripheral), "Default Audio Output");
}

}  // namespace

}  // namespace quorvel

// How the main window picks its devices from the stored names, and the slider positions and
// factors it takes from the preferences.
#include "control/device_choice.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace quorvel {

namespace {

using Names = std::vector<std::string>;

TEST(DeviceChoice, TheInputIsFoundByNameThenBySubstringThenTheFirst) {
  const Names listed = {"Built-in Audio Analog Stereo", "USB MIC", "Studio Microphone Pro",
                        "Studio Microphone Pro 2"};
  const struct {
    Names names;
    const char* wanted;
    int index;
    const char* name;
  } cases[] = {
      {listed, "usb mic", 1, "usb mic"},                   // equal in another letter case
      {listed, "Microphone", 2, "Studio Microphone Pro"},  // the first that contains it
      {listed, "studio microphone pro 2", 3, "studio microphone pro 2"},  // equal beats contains
      {listed, "Headset", 0, "Built-in Audio Analog Stereo"},             // none: the first entry
      {{"Simulated measurement microphone"}, "Microphone", 0, "Simulated measurement microphone"},
      {{}, "Microphone", 0, ""},  // nothing listed
  };
  for (const auto& c : cases) {
    const InputChoice choice = ChooseInputDevice(c.names, c.wanted);
    EXPECT_EQ(choice.index, c.index) << c.wanted;
    EXPECT_EQ(choice.name, c.name) << c.wanted;
  }
}

TEST(DeviceChoice, TheLastOfEqualOutputNamesIsChosen) {
  const Names listed = {"Speakers", "HDMI", "speakers", "Default Audio Output"};
  const struct {
    const char* wanted;
    int index;
  } cases[] = {
      {"SPEAKERS", 2}, {"HDMI", 1}, {"Default Audio Output", 3}, {"Headphones", 0}, {"Speak", 0}};
  for (const auto& c : cases) EXPECT_EQ(ChooseOutputDevice(listed, c.wanted), c.index) << c.wanted;
}

TEST(DeviceChoice, StoredSliderPositionsStayOnTheSlider) {
  const struct {
    int stored, gain, volume;
  } cases[] = {{12, 12, 12}, {0, 0, 0}, {24, 24, 24}, {1000, 24, 24}, {-3, 0, 0}, {25, 24, 24}};
  for (const auto& c : cases) {
    EXPECT_EQ(GainPositionFromPreference(c.stored), c.gain) << c.stored;
    EXPECT_EQ(VolumePositionFromPreference(c.stored), c.volume) << c.stored;
  }
}

TEST(DeviceChoice, GainAndVolumeInDecibels) {
  // the gain slider: 1 dB a step around 0 dB at position 12
  EXPECT_EQ(GainFactor(12), 1.0);
  for (int position : {0, 6, 18, 24}) {
    EXPECT_NEAR(20.0 * std::log10(GainFactor(position)), position - 12, 1e-9) << position;
  }
  // the software volume: 2 dB a step, 0 dB at 24, -48 dB at 0, of the full scale 65535
  EXPECT_EQ(SoftwareVolumeScale(24), 65535);
  for (int position : {0, 6, 12, 21}) {
    const double expected = 65535.0 * std::pow(10.0, (2.0 * position - 48.0) / 20.0);
    EXPECT_NEAR(SoftwareVolumeScale(position), expected, 1.0) << position;
    EXPECT_LE(SoftwareVolumeScale(position), expected) << position;  // truncated
  }
  // the endpoint scalar to the slider: rounded to the nearest of the 24 steps
  const struct {
    float volume;
    int position;
  } volumes[] = {{0.0f, 0}, {1.0f, 24}, {0.5f, 12}, {0.51f, 12}, {0.53f, 13}, {0.02f, 0}};
  for (const auto& v : volumes) EXPECT_EQ(VolumePositionOfScalar(v.volume), v.position) << v.volume;
}

}  // namespace

}  // namespace quorvel

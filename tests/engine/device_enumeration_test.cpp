// The device lists: input names from the capture endpoints, output names widened by the full
// descriptions with the prefix rule, the default output last, the table limits.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "engine/audio_engine.h"
#include "engine/device_enumeration.h"
#include "tests/engine/engine_probe.h"
#include "tests/engine/scripted_services.h"

namespace quorvel {

namespace {

struct Enumeration : testing::Test {
  CScriptedServices services;
  std::unique_ptr<CAudio> audio = std::make_unique<CAudio>(&services);
};

// ---- inputs ----

TEST_F(Enumeration, InputNamesInListingOrder) {
  services.captureNames = {"Built-in microphone", "USB measurement microphone"};
  int count = 0;
  EXPECT_EQ(audio->EnumerateInputDevices(&count), 0);
  EXPECT_EQ(count, 2);
  EXPECT_STREQ(audio->InputName(0), "Built-in microphone");
  EXPECT_STREQ(audio->InputName(1), "USB measurement microphone");
}

TEST_F(Enumeration, AnEmptyNameEndsTheInputList) {
  services.captureNames = {"Microphone", "", "Line in"};
  int count = 0;
  EXPECT_EQ(audio->EnumerateInputDevices(&count), 0);
  EXPECT_EQ(count, 1);
  EXPECT_STREQ(audio->InputName(1), "");
}

TEST_F(Enumeration, FortyEndpointsGiveThirtyTwoNames) {
  for (int i = 0; i < 40; ++i) services.captureNames.push_back("Microphone " + std::to_string(i));
  int count = 0;
  EXPECT_EQ(audio->EnumerateInputDevices(&count), 0);
  EXPECT_EQ(count, 32);
  EXPECT_STREQ(audio->InputName(31), "Microphone 31");
}

TEST_F(Enumeration, NoEndpointOrAFirstEmptyNameIsRefused) {
  int count = 5;
  EXPECT_EQ(audio->EnumerateInputDevices(&count), kE_UNEXPECTED);
  services.captureNames = {"", "Microphone"};
  EXPECT_EQ(audio->EnumerateInputDevices(&count), kE_UNEXPECTED);
  EXPECT_EQ(count, 5);
}

TEST_F(Enumeration, AListingFailureReturnsItsCode) {
  services.listResult = kAudclntEServiceNotRunning;
  services.captureNames = {"Microphone"};
  int count = 0;
  EXPECT_EQ(audio->EnumerateInputDevices(&count), kAudclntEServiceNotRunning);
}

TEST_F(Enumeration, LongInputNamesAreCutToTheSlotWithoutSplittingACharacter) {
  // 510 ASCII bytes then a two-byte character: byte 511 would split it, so it is left out.
  services.captureNames = {std::string(510, 'm') + "\xC3\xA9" + "tre"};
  int count = 0;
  ASSERT_EQ(audio->EnumerateInputDevices(&count), 0);
  EXPECT_EQ(std::string(audio->InputName(0)), std::string(510, 'm'));
  services.captureNames = {std::string(600, 'x')};
  ASSERT_EQ(audio->EnumerateInputDevices(&count), 0);
  EXPECT_EQ(std::string(audio->InputName(0)), std::string(511, 'x'));
}

TEST_F(Enumeration, OpeningChecksTheIndexAndTheNameAgain) {
  // Before any listing.
  EXPECT_EQ(audio->OpenInputDevice(0), kE_UNEXPECTED);
  services.captureNames = {"Microphone"};
  int count = 0;
  ASSERT_EQ(audio->EnumerateInputDevices(&count), 0);
  EXPECT_EQ(audio->OpenInputDevice(-1), kE_UNEXPECTED);
  EXPECT_EQ(audio->OpenInputDevice(1), kE_UNEXPECTED);
  EXPECT_EQ(audio->OpenInputDevice(40), kE_UNEXPECTED);
  // The same device in another letter case is the same device.
  services.captureNames = {"MICROPHONE"};
  EXPECT_EQ(audio->OpenInputDevice(0), 0);
  EXPECT_EQ(CAudioProbe::CaptureRate(*audio), 48000);
  services.captureNames = {"Headset"};
  EXPECT_EQ(audio->OpenInputDevice(0), kE_UNEXPECTED);
  EXPECT_FALSE(CAudioProbe::InputOpen(*audio));
}

// ---- outputs ----

TEST_F(Enumeration, ShortNamesTakeTheFirstDescriptionStartingWithThem) {
  const std::string longName = "Speakers (High Definition Audio Device) on the desk";
  services.productNames = {longName, "hdmi", "Headphones"};
  services.descriptions = {"HDMI 1 (NVIDIA High Definition Audio)", longName,
                           "Headphones (USB Audio)", "hdmi 2 (NVIDIA High Definition Audio)"};
  EXPECT_EQ(audio->EnumerateOutputDevices(), 4);
  // Cut at 31 characters, then widened by the description that starts with them.
  EXPECT_EQ(std::string(audio->OutputName(0)), longName);
  // Letter case does not matter, and the first match wins.
  EXPECT_STREQ(audio->OutputName(1), "HDMI 1 (NVIDIA High Definition Audio)");
  EXPECT_STREQ(audio->OutputName(2), "Headphones (USB Audio)");
  EXPECT_STREQ(audio->OutputName(3), "Default Audio Output");
}

TEST_F(Enumeration, AnEmptyProductNameTakesTheFirstDescription) {
  services.productNames = {"", "Line out"};
  services.descriptions = {"First device", "Line out (rear)"};
  EXPECT_EQ(audio->EnumerateOutputDevices(), 3);
  EXPECT_STREQ(audio->OutputName(0), "First device");
  EXPECT_STREQ(audio->OutputName(1), "Line out (rear)");
}

TEST_F(Enumeration, UnmatchedOrUnlistedDescriptionsLeaveTheShortNames) {
  services.productNames = {"Speakers"};
  services.descriptions = {"Headphones"};
  EXPECT_EQ(audio->EnumerateOutputDevices(), 2);
  EXPECT_STREQ(audio->OutputName(0), "Speakers");
  services.descriptions = {"Speakers (USB)"};
  services.descriptionsOk = false;
  EXPECT_EQ(audio->EnumerateOutputDevices(), 2);
  EXPECT_STREQ(audio->OutputName(0), "Speakers");
}

TEST_F(Enumeration, ThirtyFiveOutputsGiveThirtyTwoEntriesWithTheDefaultLast) {
  for (int i = 0; i < 35; ++i) services.productNames.push_back("Output " + std::to_string(i));
  EXPECT_EQ(audio->EnumerateOutputDevices(), 32);
  EXPECT_STREQ(audio->OutputName(30), "Output 30");
  EXPECT_STREQ(audio->OutputName(31), "Default Audio Output");
}

TEST_F(Enumeration, NoOutputLeavesOnlyTheDefault) {
  EXPECT_EQ(audio->EnumerateOutputDevices(), 1);
  EXPECT_STREQ(audio->OutputName(0), "Default Audio Output");
  EXPECT_STREQ(audio->OutputName(1), "");
}

TEST(DeviceNames, CaseBlindComparisons) {
  EXPECT_TRUE(DeviceNamesEqual("Microphone (USB)", "MICROPHONE (usb)"));
  EXPECT_FALSE(DeviceNamesEqual("Microphone", "Microphone 2"));
  EXPECT_TRUE(DeviceNameStartsWith("HDMI output", "hdmi", 4));
  EXPECT_FALSE(DeviceNameStartsWith("HD", "hdmi", 4));
  EXPECT_TRUE(DeviceNameStartsWith("anything", "", 0));
}

}  // namespace

}  // namespace quorvel

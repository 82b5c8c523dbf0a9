// The window's input channel choice: its stored texts, one per input device, and the
// measurement it asks for.
#include "control/input_channel_choice.h"

#include <gtest/gtest.h>

#include "base/memory_preferences.h"
#include "control/measurement_request.h"

namespace quorvel {

namespace {

TEST(InputChannelChoice, ItsTextsNameTheChannelAndTheReferenceOnTheOtherChannel) {
  const struct {
    const char* text;
    InputChannelChoice choice;
    const char* storedAs;  // the text the choice is stored as
    ReferenceChannel reference;
  } cases[] = {
      {"louder", {InputChannel::kLouder, false}, "louder", ReferenceChannel::kNone},
      {"left", {InputChannel::kLeft, false}, "left", ReferenceChannel::kNone},
      {"right", {InputChannel::kRight, false}, "right", ReferenceChannel::kNone},
      {"left reference", {InputChannel::kLeft, true}, "left reference", ReferenceChannel::kRight},
      {"right reference", {InputChannel::kRight, true}, "right reference", ReferenceChannel::kLeft},
      // a reference needs a channel of its own to measure; anything else is the default
      {"louder reference", {}, "louder", ReferenceChannel::kNone},
      {"Left", {}, "louder", ReferenceChannel::kNone},
      {"right  reference", {}, "louder", ReferenceChannel::kNone},
      {"", {}, "louder", ReferenceChannel::kNone},
  };
  for (const auto& c : cases) {
    const InputChannelChoice read = ParseInputChannelChoice(c.text);
    EXPECT_EQ(read, c.choice) << c.text;
    EXPECT_EQ(InputChannelChoiceText(read), c.storedAs) << c.text;
    MeasurementRequest request;
    ApplyInputChannelChoice(read, &request);
    EXPECT_EQ(request.channel, c.choice.channel) << c.text;
    EXPECT_EQ(request.reference, c.reference) << c.text;
  }
  // the same measurement as quorvel-cli's --reference right
  MeasurementRequest cli;
  const std::string right = "right";
  std::string why;
  ASSERT_TRUE(ReadInputChannels(nullptr, &right, &cli, &why));
  MeasurementRequest window;
  ApplyInputChannelChoice(ParseInputChannelChoice("left reference"), &window);
  EXPECT_EQ(window.channel, cli.channel);
  EXPECT_EQ(window.reference, cli.reference);
}

TEST(InputChannelChoice, IsRememberedPerInputDevice) {
  CMemoryPreferences preferences;
  WriteInputChannelChoice(preferences, "USB Mic/2", {InputChannel::kRight, true});
  WriteInputChannelChoice(preferences, "Line In", {InputChannel::kLeft, false});
  EXPECT_EQ(ReadInputChannelChoice(preferences, "USB Mic/2"),
            (InputChannelChoice{InputChannel::kRight, true}));
  EXPECT_EQ(ReadInputChannelChoice(preferences, "Line In"),
            (InputChannelChoice{InputChannel::kLeft, false}));
  EXPECT_EQ(ReadInputChannelChoice(preferences, "Other"), InputChannelChoice());
  EXPECT_EQ(preferences.StoredText("InputChannel/USB Mic%2F2"), "right reference");
}

}  // namespace

}  // namespace quorvel

// The measurement rulebook: the device a name names, the default output, the ranges and gains a
// measurement takes, for the window and quorvel-cli alike.
#include "control/run/measurement_request.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/memory_preferences.h"
#include "control/run/input_channel_choice.h"

namespace quorvel {

namespace {

using Names = std::vector<std::string>;

TEST(MeasurementRequest, ANameFindsItsEntryByTheRuleOfItsList) {
  const Names listed = {"Built-in Audio Analog Stereo", "USB MIC", "Studio Microphone Pro",
                        "Studio Microphone Pro 2", "usb mic"};
  constexpr NameRule kIn = NameRule::kInput;
  constexpr NameRule kOut = NameRule::kOutput;
  constexpr NameRule kCli = NameRule::kOutputOrContaining;
  const struct {
    Names names;
    const char* wanted;
    NameRule rule;
    int index;
  } cases[] = {
      {listed, "USB Mic", kIn, 1},                  // equal in another case: the first of two
      {listed, "USB Mic", kOut, 4},                 // ... the last of two
      {listed, "USB Mic", kCli, 4},                 //
      {listed, "Microphone", kIn, 2},               // the first that contains it
      {listed, "Microphone", kOut, -1},             // an output must be equal
      {listed, "Microphone", kCli, 2},              // ... but quorvel-cli's may be contained
      {listed, "studio microphone pro 2", kIn, 3},  // equal beats contains
      {listed, "Analog", kIn, 0},                   // contained, not only at the start
      {listed, "Headset", kIn, -1},                 // none
      {listed, "", kCli, -1},                       // an empty name names nothing
      {{"Simulated measurement microphone"}, "Microphone", kIn, 0},
      {{}, "Microphone", kIn, -1},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FindDevice(c.names, c.wanted, c.rule), c.index) << c.wanted;
  }
}

TEST(MeasurementRequest, TheDefaultOutputIsTheLastEntryAndOpensAsDeviceMinusOne) {
  EXPECT_EQ(DefaultOutputIndex(3), 2);
  const struct {
    int index, count, id;
  } cases[] = {{0, 3, 0}, {1, 3, 1}, {2, 3, -1}, {-1, 3, -1}, {5, 3, -1}, {0, 1, -1}};
  for (const auto& c : cases) EXPECT_EQ(OutputDeviceId(c.index, c.count), c.id) << c.index;
}

TEST(MeasurementRequest, RangesFollowTheStepsOrTheLimits) {
  const struct {
    double fmin, fmax;
    bool steps, anyWithinLimits;
  } cases[] = {
      {20, 20000, true, true},    {2000, 20000, true, true},  {1.9, 20, true, true},
      {50, 16000, false, true},   {2001, 20000, false, true}, {1.8, 1000, false, false},
      {100, 100, false, false},   {100, 24000, false, true},  {100, 24001, false, false},
      {2000, 1000, false, false}, {20, 20001, false, true},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(CheckRange(c.fmin, c.fmax, RangeRule::kSteps).Ok(), c.steps)
        << c.fmin << ".." << c.fmax;
    EXPECT_EQ(CheckRange(c.fmin, c.fmax, RangeRule::kAnyWithinLimits).Ok(), c.anyWithinLimits)
        << c.fmin << ".." << c.fmax;
  }
}

TEST(MeasurementRequest, TheRequestIsBuiltFromNamesAndNumbers) {
  const Names inputs = {"Mic", "Monitor of Speakers"};
  const Names outputs = {"Speakers", "Default Audio Output"};
  const std::string speak = "speak";
  const std::string nobody = "nobody";
  const std::string empty;
  const struct {
    const std::string* input;
    const std::string* output;
    double fmin, gainDb;
    int inputIndex, outputIndex;
    const char* why;
  } cases[] = {
      {nullptr, nullptr, 20, 0, 0, 1, ""},  // the default output: last
      {&speak, &speak, 20, 12, 1, 0, ""},
      {&nobody, nullptr, 20, 0, -1, -1, "Not a valid Audio Input peripheral"},
      {&empty, nullptr, 20, 0, -1, -1, "Not a valid Audio Input peripheral"},
      {nullptr, &nobody, 20, 0, 0, -1, "Could Not Open the Audio Output Device: Bad device Id"},
      {nullptr, nullptr, 0.5, 0, 0, -1, "the range needs 1.9 <= fmin < fmax <= 24000"},
      {nullptr, nullptr, 20, 12.5, 0, -1, "the gain lies within -12 .. +12 dB"},
  };
  for (const auto& c : cases) {
    MeasurementRequest request;
    request.fmin = c.fmin;
    request.fmax = 16000.0;
    request.gainDb = c.gainDb;
    request.range = RangeRule::kAnyWithinLimits;
    const Result<void> built =
        BuildMeasurementRequest(inputs, outputs, c.input, c.output, &request);
    EXPECT_EQ(built.Ok(), c.why[0] == '\0');
    EXPECT_EQ(built.Message(), c.why);
    EXPECT_EQ(request.inputIndex, c.inputIndex);
    EXPECT_EQ(request.outputIndex, c.outputIndex);
  }
}

}  // namespace

}  // namespace quorvel

namespace quorvel {
namespace {

// The channel a measurement hears and the one that times it, as --channel and --reference name
// them, and the sample each frame then gives the analysis.
TEST(MeasurementRequest, TheChannelChoiceNamesTheMeasuredAndTheReferenceChannel) {
  constexpr InputChannel kLouder = InputChannel::kLouder;
  constexpr InputChannel kLeft = InputChannel::kLeft;
  constexpr InputChannel kRight = InputChannel::kRight;
  const struct {
    const char* channel;  // null: not named
    const char* reference;
    bool accepted;
    InputChannel measured;
    ReferenceChannel timing;
    int32_t sample;           // of the frame (left -300, right 200)
    const char* stored = "";  // the window's choice of the same, as its settings keep it
  } cases[] = {
      {nullptr, nullptr, true, kLouder, ReferenceChannel::kNone, -300, "louder"},
      {"right", nullptr, true, kRight, ReferenceChannel::kNone, 200, "right"},
      {"left", nullptr, true, kLeft, ReferenceChannel::kNone, -300, "left"},
      {nullptr, "left", true, kRight, ReferenceChannel::kLeft, 200, "right reference"},
      {"louder", "right", true, kLeft, ReferenceChannel::kRight, -300, "left reference"},
      {"left", "right", true, kLeft, ReferenceChannel::kRight, -300, "left reference"},
      {"left", "left", false, kLouder, ReferenceChannel::kNone, 0},
      {nullptr, "both", false, kLouder, ReferenceChannel::kNone, 0},
  };
  for (const auto& c : cases) {
    const std::string channel = c.channel != nullptr ? c.channel : "";
    const std::string reference = c.reference != nullptr ? c.reference : "";
    MeasurementRequest request;
    const Result<void> read =
        ReadInputChannels(c.channel != nullptr ? &channel : nullptr,
                          c.reference != nullptr ? &reference : nullptr, &request);
    const bool accepted = read.Ok();
    SCOPED_TRACE(channel + " / " + reference);
    ASSERT_EQ(accepted, c.accepted);
    if (!accepted) {
      EXPECT_FALSE(read.Message().empty());
      continue;
    }
    EXPECT_EQ(request.channel, c.measured);
    EXPECT_EQ(request.reference, c.timing);
    EXPECT_EQ(MeasuredSample(-300, 200, request.channel), c.sample);
    CMemoryPreferences preferences;  // the window's, per input device
    preferences.WriteString("InputChannel/USB%2F2", c.stored);
    const InputChannelChoice choice = ReadInputChannelChoice(preferences, "USB/2");
    MeasurementRequest window;
    ApplyInputChannelChoice(choice, &window);
    EXPECT_EQ(window.channel, request.channel);
    EXPECT_EQ(window.reference, request.reference);
    EXPECT_EQ(InputChannelChoiceText(choice), c.stored);
    EXPECT_EQ(ReadInputChannelChoice(preferences, "USB/3"), InputChannelChoice());
  }
  // a stored choice the window cannot make is its default
  for (const char* text : {"louder reference", "Left", "right  reference"}) {
    EXPECT_EQ(ParseInputChannelChoice(text), InputChannelChoice()) << text;
  }
  // equal magnitudes: the louder rule takes the left
  EXPECT_EQ(MeasuredSample(-5, 5, kLouder), -5);
}

}  // namespace
}  // namespace quorvel

#include "control/run/input_channel_choice.h"

#include "base/preferences.h"
#include "control/run/measurement_request.h"
#include "control/settings/spl_calibration.h"

namespace quorvel {

namespace {

constexpr char kReferenceWord[] = " reference";

}  // namespace

std::string InputChannelPreferenceName(const std::string& device) {
  return "InputChannel/" + SplSettingsKey(device);
}

InputChannelChoice ParseInputChannelChoice(const std::string& text) {
  for (const InputChannel channel : {InputChannel::kLeft, InputChannel::kRight}) {
    const std::string name = InputChannelName(channel);
    if (text == name) return {channel, false};
    if (text == name + kReferenceWord) return {channel, true};
  }
  return {};
}

std::string InputChannelChoiceText(const InputChannelChoice& choice) {
  std::string text = InputChannelName(choice.channel);
  if (ReferenceOf(choice) != ReferenceChannel::kNone) text += kReferenceWord;
  return text;
}

InputChannelChoice ReadInputChannelChoice(IPreferences& preferences, const std::string& device) {
  return ParseInputChannelChoice(preferences.ReadString(InputChannelPreferenceName(device).c_str(),
                                                        InputChannelName(InputChannel::kLouder)));
}

void WriteInputChannelChoice(IPreferences& preferences, const std::string& device,
                             const InputChannelChoice& choice) {
  preferences.WriteString(InputChannelPreferenceName(device).c_str(),
                          InputChannelChoiceText(choice));
}

ReferenceChannel ReferenceOf(const InputChannelChoice& choice) {
  if (!choice.timingReference) return ReferenceChannel::kNone;
  switch (choice.channel) {
    case InputChannel::kLeft:
      return ReferenceChannel::kRight;
    case InputChannel::kRight:
      return ReferenceChannel::kLeft;
    case InputChannel::kLouder:
      break;
  }
  return ReferenceChannel::kNone;
}

void ApplyInputChannelChoice(const InputChannelChoice& choice, MeasurementRequest* request) {
  request->channel = choice.channel;
  request->reference = ReferenceOf(choice);
}

}  // namespace quorvel

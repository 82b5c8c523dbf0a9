#pragma once

#include <string>

#include "engine/input_channel.h"

namespace quorvel {

class IPreferences;
struct MeasurementRequest;

// The window's input channel choice: the channel measured and whether the other channel carries
// the output looped back as the timing reference (only with left or right). Remembered per input
// device in the preferences, under "InputChannel/" and the device's name (as the SPL
// calibrations escape it), as "louder", "left", "right", "left reference" or "right reference".
// User-interface thread.
struct InputChannelChoice {
  InputChannel channel = InputChannel::kLouder;
  bool timingReference = false;  // the other channel times the measurement
  bool operator==(const InputChannelChoice&) const = default;
};

// The choice a stored text names; anything else (and a reference with louder) is the default.
[[nodiscard]] InputChannelChoice ParseInputChannelChoice(const std::string& text);
[[nodiscard]] std::string InputChannelChoiceText(const InputChannelChoice& choice);

// The preference's name for device: "InputChannel/" and its SplSettingsKey.
[[nodiscard]] std::string InputChannelPreferenceName(const std::string& device);
[[nodiscard]] InputChannelChoice ReadInputChannelChoice(IPreferences& preferences,
                                                        const std::string& device);
void WriteInputChannelChoice(IPreferences& preferences, const std::string& device,
                             const InputChannelChoice& choice);

// The timing reference's channel of a choice: the other one, or none.
[[nodiscard]] ReferenceChannel ReferenceOf(const InputChannelChoice& choice);
// The request's channel and reference from the choice.
void ApplyInputChannelChoice(const InputChannelChoice& choice, MeasurementRequest* request);

}  // namespace quorvel

#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "base/result.h"
#include "engine/device_enumeration.h"
#include "engine/input_channel.h"
#include "eq/eq_fit.h"

namespace quorvel {

// The measurement rulebook: the one owner of the rules by which the window and quorvel-cli turn
// names and numbers into a measurement. User-interface thread (quorvel-cli's main thread).

// The ranges a sweep may cover.
enum class RangeRule {
  // The window's range fields: fmax one of their 25 steps, fmin from 1.9 Hz to a decade below
  // it (ValidateRange finds nothing to change).
  kSteps,
  // quorvel-cli's: any 1.9 Hz <= fmin < fmax <= 24000 Hz; a lower fmin would make the recording
  // too long for a capture file.
  kAnyWithinLimits,
};

// What a measurement is asked to do.
struct MeasurementRequest {
  int inputIndex = 0;    // entry of the input list
  int outputIndex = -1;  // entry of the output list; -1 or the last entry: the default output
  double fmin = 20.0;    // [Hz]
  double fmax = 20000.0;
  double gainDb = 0.0;                                   // input gain, -12..+12 dB
  InputChannel channel = InputChannel::kLouder;          // the channel measured
  ReferenceChannel reference = ReferenceChannel::kNone;  // the loopback timing reference's
  RangeRule range = RangeRule::kSteps;
  // Longest wait for the curve on the devices' clock [ms]; 0: none (the window waits for its user).
  uint32_t timeoutMs = 0;
  // The equaliser to play the sweep through (control/through_eq.h); none: the plain sweep.
  std::optional<EqFilterSet> throughEq{};
};

// How a name finds its device, letters compared case-blind (at most 520 characters).
enum class NameRule {
  kInput,   // the first entry equal to the name, else the first that contains it
  kOutput,  // the last entry equal to the name
  // quorvel-cli's --output, more lenient than the window's remembered output: the last equal
  // entry, else the first that contains the name
  kOutputOrContaining,
};

// The entry a name names by the rule; -1 for none and for an empty name. The window then takes
// the first entry, quorvel-cli refuses the name.
[[nodiscard]] int FindDevice(std::span<const std::string> names, std::string_view wanted,
                             NameRule rule);

// The output list names the default output last ("AudioOutPeripheral"'s default); that entry
// opens as device -1, every other entry i as device i.
inline constexpr const char* kDefaultAudioOutPeripheral = kOutputMapperName;
[[nodiscard]] int DefaultOutputIndex(int outputCount);
[[nodiscard]] int OutputDeviceId(int outputIndex, int outputCount);

// The factor a gain in dB scales the captured samples by.
[[nodiscard]] double GainFactor(double gainDb);

// Whether fmin..fmax [Hz] follows the rule; the reason when not.
[[nodiscard]] Result<void> CheckRange(double fmin, double fmax, RangeRule rule);
// The range of a request by its rule, and its gain within -12..+12 dB; the reason when not.
[[nodiscard]] Result<void> CheckRequestNumbers(const MeasurementRequest& request);

// The input channels a front end names: channel "louder", "left" or "right" (null: louder),
// reference "left", "right" or null (none). With a reference the measurement is the other
// channel; a channel named the same as the reference is refused with the reason.
[[nodiscard]] Result<void> ReadInputChannels(const std::string* channel,
                                             const std::string* reference,
                                             MeasurementRequest* request);

// Checks a request's numbers and resolves the devices a front end names: a name (not null)
// replaces the index by FindDevice's entry (inputs kInput, outputs kOutputOrContaining), and one
// that finds none is refused with the message the window shows for that device; the default output
// (-1) becomes the last entry.
[[nodiscard]] Result<void> BuildMeasurementRequest(std::span<const std::string> inputs,
                                                   std::span<const std::string> outputs,
                                                   const std::string* inputName,
                                                   const std::string* outputName,
                                                   MeasurementRequest* request);

}  // namespace quorvel

// The measurement rulebook: device names, the default output, the range and gain limits.
#include "control/run/measurement_request.h"

#include <cmath>

#include "audio/audio_services.h"
#include "base/util.h"
#include "control/run/measurement_sequence.h"
#include "control/window/range_fields.h"

namespace quorvel {

int FindDevice(std::span<const std::string> names, std::string_view wanted, NameRule rule) {
  if (wanted.empty()) return -1;
  const std::string name(wanted);
  int found = -1;
  for (size_t i = 0; i < names.size(); ++i) {
    if (CUtil::CompareNoCaseN(names[i].c_str(), name.c_str(), 520) != 0) continue;
    found = static_cast<int>(i);
    if (rule == NameRule::kInput) return found;  // the first equal input, the last equal output
  }
  if (found >= 0 || rule == NameRule::kOutput) return found;
  for (size_t i = 0; i < names.size(); ++i) {
    if (CUtil::FindNoCase(names[i].c_str(), name.c_str()) >= 0) return static_cast<int>(i);
  }
  return -1;
}

int DefaultOutputIndex(int outputCount) {
  return outputCount - 1;
}

int OutputDeviceId(int outputIndex, int outputCount) {
  return outputIndex >= 0 && outputIndex < DefaultOutputIndex(outputCount) ? outputIndex : -1;
}

double GainFactor(double gainDb) {
  return std::pow(10.0, gainDb / 20.0);
}

Result<void> CheckRange(double fmin, double fmax, RangeRule rule) {
  if (rule == RangeRule::kAnyWithinLimits) {
    if (fmin >= 1.9 && fmin < fmax && fmax <= 24000.0) return {};
    return Failure{"the range needs 1.9 <= fmin < fmax <= 24000"};
  }
  double correctedFmin = fmin;
  double correctedFmax = fmax;
  if (ValidateRange(&correctedFmin, &correctedFmax)) return {};
  return Failure{
      "the range needs an fmax of the 25 steps and an fmin from 1.9 Hz to a decade below it"};
}

Result<void> CheckRequestNumbers(const MeasurementRequest& request) {
  if (Result<void> range = CheckRange(request.fmin, request.fmax, request.range); !range) {
    return range;
  }
  if (request.gainDb >= -12.0 && request.gainDb <= 12.0) return {};
  return Failure{"the gain lies within -12 .. +12 dB"};
}

Result<void> BuildMeasurementRequest(std::span<const std::string> inputs,
                                     std::span<const std::string> outputs,
                                     const std::string* inputName, const std::string* outputName,
                                     MeasurementRequest* request) {
  if (Result<void> numbers = CheckRequestNumbers(*request); !numbers) return numbers;
  if (inputName != nullptr) {
    request->inputIndex = FindDevice(inputs, *inputName, NameRule::kInput);
    if (request->inputIndex < 0) return Failure{kMsgInvalidInput};
  }
  if (outputName != nullptr) {
    request->outputIndex = FindDevice(outputs, *outputName, NameRule::kOutputOrContaining);
    if (request->outputIndex < 0) return Failure{OutputOpenMessage(kMmErrBadDeviceId)};
  }
  const int count = static_cast<int>(outputs.size());
  if (request->outputIndex < 0 && count > 0) request->outputIndex = DefaultOutputIndex(count);
  return {};
}

Result<void> ReadInputChannels(const std::string* channel, const std::string* reference,
                               MeasurementRequest* request) {
  InputChannel measured = InputChannel::kLouder;
  if (channel != nullptr) {
    if (*channel == "left") {
      measured = InputChannel::kLeft;
    } else if (*channel == "right") {
      measured = InputChannel::kRight;
    } else if (*channel != "louder") {
      return Failure{"the channel is louder, left or right"};
    }
  }
  ReferenceChannel timing = ReferenceChannel::kNone;
  if (reference != nullptr) {
    if (*reference == "left") {
      timing = ReferenceChannel::kLeft;
    } else if (*reference == "right") {
      timing = ReferenceChannel::kRight;
    } else {
      return Failure{"the timing reference is the left or the right channel"};
    }
    // the loudspeaker is heard on the channel that does not carry the loopback
    const InputChannel other =
        timing == ReferenceChannel::kLeft ? InputChannel::kRight : InputChannel::kLeft;
    if (measured != InputChannel::kLouder && measured != other) {
      return Failure{"the measured channel cannot also be the timing reference"};
    }
    measured = other;
  }
  request->channel = measured;
  request->reference = timing;
  return {};
}

}  // namespace quorvel

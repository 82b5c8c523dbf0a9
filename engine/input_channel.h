#pragma once

#include <cstdint>
#include <string_view>

namespace quorvel {

// Which channel of a stereo input the analysis and the record track take.
enum class InputChannel : int32_t {
  kLouder = 0,  // the louder of the two at every frame, left when both are equal
  kLeft = 1,
  kRight = 2,
};

// Which channel, if any, carries the output looped back electrically: the timing reference.
enum class ReferenceChannel : int32_t {
  kNone = 0,
  kLeft = 1,
  kRight = 2,
};

// The channel's name in settings, options and messages: "louder", "left" or "right".
[[nodiscard]] inline const char* InputChannelName(InputChannel channel) {
  switch (channel) {
    case InputChannel::kLeft:
      return "left";
    case InputChannel::kRight:
      return "right";
    case InputChannel::kLouder:
      break;
  }
  return "louder";
}

// The channel of a name InputChannelName gives; any other name is the louder.
[[nodiscard]] inline InputChannel InputChannelNamed(std::string_view name) {
  if (name == "left") return InputChannel::kLeft;
  if (name == "right") return InputChannel::kRight;
  return InputChannel::kLouder;
}

// The sample a frame gives the measurement on the chosen channel. Analysing thread; never
// blocks.
[[nodiscard]] inline int32_t MeasuredSample(int32_t left, int32_t right, InputChannel channel) {
  const auto magnitude = [](int32_t s) {
    return s < 0 ? 0u - static_cast<uint32_t>(s) : static_cast<uint32_t>(s);
  };
  switch (channel) {
    case InputChannel::kLeft:
      return left;
    case InputChannel::kRight:
      return right;
    case InputChannel::kLouder:
      break;
  }
  return magnitude(right) > magnitude(left) ? right : left;
}

// Whether a channel's full scale counts as clipping of the measurement.
[[nodiscard]] inline bool CountsForClipping(InputChannel channel, bool rightChannel) {
  return channel == InputChannel::kLouder || (channel == InputChannel::kRight) == rightChannel;
}

}  // namespace quorvel

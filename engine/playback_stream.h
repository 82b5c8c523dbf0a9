#pragma once

#include <cstdint>

namespace quorvel {

// Frames in one output buffer: 128 frames of two 16-bit samples (512 bytes).
constexpr int kPlayBufferFrames = 128;
// A queued buffer that has not come back for longer than this means the output has stalled
// and the queue is rebuilt [ms].
constexpr uint32_t kOutputStallMs = 200;
// The play thread waits for a played buffer at most this long before it looks again [ms].
constexpr int kPlayEventWaitMs = 50;

// An output sample for a signal sample s: (s x volume) >> 16, an arithmetic shift, stored in
// 16 bits. With the volume 65535 this is s - 1 for a positive s and s otherwise.
[[nodiscard]] inline int16_t OutputSample(int16_t sample, int32_t volume) {
  return static_cast<int16_t>((static_cast<int64_t>(sample) * volume) >> 16);
}

}  // namespace quorvel

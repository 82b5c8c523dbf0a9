#pragma once

#include <cstdint>

namespace quorvel {

// Frames in one output buffer: 128 frames of two 16-bit samples (512 bytes).
constexpr int kPlayBufferFrames = 128;
// An output that has started and whose play position then stands still for longer than this,
// while buffers wait, has stalled [ms]. The servers report the position in steps of up to a
// quarter of a second under load, and a device holds it for its latency after every start, so
// the limit stays well above both; a stall long enough to leave a gap is also reported as an
// underflow.
constexpr uint32_t kOutputStallMs = 1000;
// The play thread waits for a played buffer at most this long before it looks again [ms].
constexpr int kPlayEventWaitMs = 50;

// An output sample for a signal sample s: (s x volume) >> 16, an arithmetic shift, stored in
// 16 bits. With the volume 65535 this is s - 1 for a positive s and s otherwise.
[[nodiscard]] inline int16_t OutputSample(int16_t sample, int32_t volume) {
  return static_cast<int16_t>((static_cast<int64_t>(sample) * volume) >> 16);
}

}  // namespace quorvel

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

// The play thread's stall rule, judged by the play position once the output has started and
// its position has moved (a device holds it for its latency after every start): a position that
// then stands still for more than kOutputStallMs while a queued buffer waits is a stall.
class COutputWatchdog {
 public:
  void Reset() { m_watching = false; }  // a rebuilt queue: nothing seen before counts

  // One look while a queued buffer waits. playing: started, no underflow since, and its position
  // [frames] known; nowMs: the devices' clock. True on a stall.
  bool Stalled(bool playing, uint64_t position, uint32_t nowMs) {
    if (!playing) {
      m_watching = false;  // nothing to judge (not yet, or not since an underflow)
      return false;
    }
    if (!m_watching || position != m_position) {
      m_moved = m_watching;
      m_watching = true;
      m_position = position;
      m_sinceMs = nowMs;
      return false;
    }
    return m_moved && nowMs - m_sinceMs > kOutputStallMs;
  }

 private:
  bool m_watching = false;
  bool m_moved = false;  // since the watch began
  uint64_t m_position = 0;
  uint32_t m_sinceMs = 0;  // [ms] when the position last moved
};

}  // namespace quorvel

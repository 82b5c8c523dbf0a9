#pragma once

#include <cstdint>

#include "engine/playback_stream.h"

namespace quorvel {

// The play thread's stall rule. An output is judged by its play position, and only once it has
// started and its position has moved (a device holds the position for its latency after every
// start): a position that then stands still for more than kOutputStallMs while a queued buffer
// waits is a stall. Play thread only; never blocks.
class COutputWatchdog {
 public:
  // A (re)started queue: nothing seen before counts.
  void Reset() { m_watching = false; }

  // One look while a queued buffer waits to be played. playing: the output has started (no
  // underflow since) and reports its play position [frames]; nowMs: the devices' clock. True
  // on a stall.
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
  bool m_moved = false;  // the position has moved since the watch began
  uint64_t m_position = 0;
  uint32_t m_sinceMs = 0;  // [ms] when the position last moved
};

}  // namespace quorvel

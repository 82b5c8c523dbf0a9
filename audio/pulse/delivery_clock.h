#pragma once

#include <cstdint>

namespace quorvel {

// Tells frames a record stream never delivered from frames that were only late, by the clock.
//
// A running stream delivers as many frames as time passes. Its lag (the frames that time has
// passed since its first delivery, less the frames delivered) is steady, give or take a fragment
// and the scheduling of the threads. Frames that are only late arrive in a burst, and the lag
// falls back; a server that stood still and then went on where it stopped never delivers the
// frames of that time, and the lag stays higher. The least lag of each half second is compared
// with the least lag of the few seconds before: when it has stayed higher by more than a tenth
// of a second for two half seconds in a row, the difference is taken as lost. The few seconds
// keep a device clock that runs apart from this machine's clock (a few hundred parts in a
// million) from ever adding up to a loss.
//
// Not thread-safe: one thread (the audio server's mainloop, lock held) calls every member.
class CDeliveryClock {
 public:
  // Lag beyond the recent least that counts as lost. [frames at 48000 Hz: 100 ms]
  static constexpr int64_t kLossFrames = 4800;
  // Length of one judged slice of time. [us]
  static constexpr uint64_t kSliceUs = 500000;

  // A new stream, or one that starts again after a pause: nothing delivered yet.
  void Restart(uint32_t rate);
  // `frames` more frames arrived at `nowUs` (a steady clock); returns the frames the stream is
  // now known to have lost (0 almost always).
  uint64_t Delivered(uint64_t frames, uint64_t nowUs);

 private:
  // The least lags of the earlier slices, newest first; judged: the newest two, against the rest.
  static constexpr int kSlices = 10;

  void CloseSlice();

  uint32_t m_rate = 48000;
  bool m_started = false;
  uint64_t m_startUs = 0;
  uint64_t m_delivered = 0;  // [frames]
  uint64_t m_sliceStartUs = 0;
  int64_t m_sliceLeast = 0;       // [frames]
  int64_t m_least[kSlices] = {};  // [frames]
  int m_closed = 0;               // slices in m_least
  uint64_t m_lost = 0;            // found at the last close, not yet returned [frames]
};

}  // namespace quorvel

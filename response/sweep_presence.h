#pragma once

// Whether a recording holds, where its curve's points were taken, the sweep of the range it is
// analysed over. Each point's block is looked at in a window of 4096 samples: its strongest
// component above the recording's own noise (measured before the sync burst) must lie at the
// point's frequency. Plain C++; FFTW does the transforms.
#include <cstdint>
#include <span>

namespace quorvel {

enum class SweepPresence {
  kFound,       // the points hear the sweep at their own frequencies
  kNone,        // nothing above the noise, noise, or a sound that is no sweep
  kOtherRange,  // a tone that rises through the points, but not at their frequencies: a sweep
                // of another range
};

// recording: 16-bit mono samples at 48000 Hz from the replay's first sample; syncFrames: the
// samples from there to the end of the block in which the sync burst was found; points: the
// curve points the analysis took from it (at most 1001), timed for a sweep from fmin. A few
// milliseconds; allocates.
[[nodiscard]] SweepPresence FindSweep(std::span<const int16_t> recording, int32_t syncFrames,
                                      int points, double fmin, double fmax);

}  // namespace quorvel

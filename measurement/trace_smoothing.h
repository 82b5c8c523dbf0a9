#pragma once

// Fractional-octave smoothing of a trace's levels, as a view and every export name it: none,
// 1/48, 1/24, 1/12, 1/6, 1/3 or 1/1 octave, each a power average over the band
// (measurement/octave_smoothing.h).
#include <string>

#include "base/result.h"
#include "measurement/trace.h"

namespace quorvel {

// The smoothings a view offers [bands per octave; 0: none], in the order a menu lists them.
inline constexpr int kViewSmoothings[] = {0, 48, 24, 12, 6, 3, 1};
inline constexpr int kMaxSmoothingBands = 96;

// 1/N octave from a number a user gave (`--smooth N`): 0 (none) or 1 .. kMaxSmoothingBands.
[[nodiscard]] Result<int> SmoothingBands(int bandsPerOctave);

// The smoothing as legends and exports name it: "no smoothing", "1/6 octave", "1/1 octave".
[[nodiscard]] std::string SmoothingName(int bandsPerOctave);

// The trace with its levels power-averaged over 1/bandsPerOctave octave around each frequency
// (the band cut at the trace's ends); bandsPerOctave 0 leaves it as it is. The phase and the
// timing are left as they were: a view smooths what it shows, and an average combines the
// unsmoothed transfers. A trace already smoothed is smoothed again.
[[nodiscard]] Trace Smoothed(const Trace& trace, int bandsPerOctave);

}  // namespace quorvel

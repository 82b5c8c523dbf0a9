#pragma once

#include <span>
#include <vector>

namespace quorvel {

// Fractional-octave smoothing of a level trace: the level at f becomes the power average of
// the trace over the band from f / 2^(1/2N) to f * 2^(1/2N) (1/N octave wide), taken on a
// logarithmic frequency grid (equal weight per fraction of an octave, as the ear and a room's
// modes count). The trace is read between its points linearly in log frequency; a band that
// reaches past either end of the trace averages over the part that lies within it.

// The levels of the trace (frequenciesHz increasing and positive, levelsDb finite, the same
// length, at least two points) smoothed over 1/bandsPerOctave octave, at each of atHz. [dB]
[[nodiscard]] std::vector<double> SmoothFractionalOctaveDb(std::span<const double> frequenciesHz,
                                                           std::span<const double> levelsDb,
                                                           double bandsPerOctave,
                                                           std::span<const double> atHz);

// The trace's level at frequencyHz, linear in log frequency between its points and held at
// the end points beyond them. [dB]
[[nodiscard]] double InterpolateLogFrequencyDb(std::span<const double> frequenciesHz,
                                               std::span<const double> levelsDb,
                                               double frequencyHz);

}  // namespace quorvel

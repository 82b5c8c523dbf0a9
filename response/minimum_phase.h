#pragma once

// The minimum phase of a level curve: the phase a minimum-phase system with that level has
// (the Hilbert transform of ln |H|, by the real cepstrum on a dense linear grid). What a
// measured phase has beyond it is excess phase: delay, reflections, crossovers' all-pass parts.
#include <vector>

namespace quorvel {

// The minimum phase [degrees, continuous: never wrapped] at each frequency of `at` [Hz] of the
// level curve levelDb at frequencyHz (ascending, above 0, below rate / 2; at least two points).
// Outside the curve's range the level goes on at the slope of its outermost half octave (least
// squares, at most 48 dB per octave) and stops 120 dB below the curve's edge: the curve says
// nothing there, and a level that simply stopped would add phase of its own. A discrete
// filter's zeros at 0 Hz or at half the rate (high-pass and low-pass sections) each have half a
// sample of group delay that no sampled level shows. NaN for every entry of a curve that is not
// such a curve.
[[nodiscard]] std::vector<double> MinimumPhaseDeg(const std::vector<double>& frequencyHz,
                                                  const std::vector<double>& levelDb,
                                                  const std::vector<double>& at,
                                                  double rate = 48000.0);

}  // namespace quorvel

#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "eq/eq_fit.h"

namespace quorvel {

// Measuring through an equaliser before it is installed: the sweep is played as the
// equaliser would make it (its preamp and biquads in double precision, then 16-bit samples
// again), and the measurement runs as usual, so its curve is the speaker's with the equaliser.
//
// Only what follows the sync burst is filtered: the burst keeps its level and its three tones,
// which a deep cut near one of them would otherwise weaken below what the detector hears. The
// half second of silence after the burst lets the filters start from rest, and the time from
// the burst to the sweep stays as the analysis expects it (the filters' own delay is part of
// the equaliser's response, as it would be when installed).

// The first sample of the playback signal that the equaliser shapes: after the leading half
// second of silence and the sync burst.
[[nodiscard]] size_t ThroughEqFirstSample();

// Filters signal[ThroughEqFirstSample()..] through `set` in place (nothing when the signal is
// shorter). User-interface thread, before the sweep plays; allocates.
void ShapeSweepThroughEq(std::span<int16_t> signal, const EqFilterSet& set);

// The name of a measurement made through the equaliser of the measurement `name`: "NAME + EQ".
[[nodiscard]] std::string ThroughEqName(const std::string& name);

}  // namespace quorvel

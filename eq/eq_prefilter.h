#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "eq/eq_fit.h"

namespace quorvel {

// The signal an equaliser would make of 16-bit samples at 48000 Hz, for measuring through it
// before it is installed: the preamp and the filter set's biquads (the same coefficients as
// the prediction, run in double precision in transposed direct form II), each channel of the
// interleaved samples on its own, then rounded to the nearest 16-bit sample and clipped to its
// range. Any channel count of 1 or more; the returned samples are as many as given.
[[nodiscard]] std::vector<int16_t> PrefilterSamples(std::span<const int16_t> interleaved,
                                                    int channels, const EqFilterSet& set);

}  // namespace quorvel

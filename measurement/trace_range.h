#pragma once

// Traces over different ranges combine over the range they have in common, on the 1/48-octave
// grid from its fmin.
#include <span>

#include "base/result.h"
#include "measurement/trace.h"

namespace quorvel {

// The range every trace covers: the highest fmin to the lowest fmax. Refused when it is empty
// ("The traces have no frequency range in common: A covers 20-200 Hz, B 1000-20000 Hz", naming
// the two that do not meet), when there is no trace, or when a trace holds fewer than two
// levels. fminHz / fmaxHz above 0 ask for a part of it (`--fmin` / `--fmax`); refused when that
// part does not lie within it (the message says the common range).
[[nodiscard]] Result<TraceRange> CommonRange(std::span<const Trace> traces, double fminHz = 0.0,
                                             double fmaxHz = 0.0);

// The trace read on the grid of `range` (which lies within its own): levels linear in log
// frequency between its points, the phase likewise along its shortest turn, the transfer as
// level and phase; the impulse response as it was. A trace already on that grid is returned as
// it is.
[[nodiscard]] Trace Resampled(const Trace& trace, TraceRange range);

// Its text in messages: "20-20000 Hz" (numbers as %g writes them, with a decimal point).
[[nodiscard]] std::string RangeText(TraceRange range);

}  // namespace quorvel

#pragma once
// What a measured trace becomes through an equaliser, before it is installed: the workbench's
// prediction of "NAME + EQ".
#include "eq/eq_fit.h"
#include "measurement/trace.h"

namespace quorvel {

// `trace` through the preamp and the filters of `set`: each level raised by their gain, each
// phase (when the trace has one) turned by theirs. The timing a vector average needs is not
// predicted and is left out, so such a trace is not averaged by its vectors.
[[nodiscard]] Trace PredictedTrace(const Trace& trace, const EqFilterSet& set);

}  // namespace quorvel

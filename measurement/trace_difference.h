#pragma once

// The difference of two traces, A - B (before and after, left and right).
#include <string>

#include "base/result.h"
#include "measurement/trace.h"

namespace quorvel {

struct DifferenceOptions {
  int smoothingBands = 0;  // 1/N octave; 0: none
  double fminHz = 0.0;     // > 0: a part of the common range only
  double fmaxHz = 0.0;
  std::string name = {};  // the derived trace's; empty: "A - B" of the sources' names
};

// A - B over their common range: the difference of the levels [dB] (each smoothed over its
// own range first), of the phases when both have one (PhaseKind kDifference), and the ratio of
// the transfers. Refused without a common range.
[[nodiscard]] Result<Trace> DifferenceOfTraces(const Trace& a, const Trace& b,
                                               const DifferenceOptions& options);

}  // namespace quorvel

#pragma once

// The step response: what the system gives for a step at its input, the running sum of its
// impulse response, in the transfer's units.
//
//   std::vector<StepRow> rows = StepResponse(analysis);    // -1 ms .. 20 ms of the peak
//   std::string csv = FormatStepCsv(rows);
#include <string>
#include <vector>

#include "response/impulse_response.h"

namespace quorvel {

class CImpulseAnalysis;

struct StepRow {
  double timeMs = 0.0;     // from the impulse response's peak, as for the phase
  double amplitude = 0.0;  // in the transfer's units: 1.0 for a loopback
};

inline constexpr double kStepFromMs = -1.0;
inline constexpr double kStepToMs = 20.0;

// One row per sample from the last at or before fromMs to the first at or after toMs (each
// within kMaxViewMs of the peak, at most kMaxViewSamples rows; else none). The sum starts at the
// response's first sample, so the last row of a response that holds every frequency, once its
// impulse response has died away, is its gain at 0 Hz (the sum of its samples).
[[nodiscard]] std::vector<StepRow> StepResponse(const ImpulseResponse& response,
                                                double fromMs = kStepFromMs,
                                                double toMs = kStepToMs);
// The ungated linear response of an analysis, summed from the start of its window (about a
// second before the peak for a sweep from 20 Hz). The sweep measures nothing below fmin: the
// deconvolution rolls the response off there, zero-phase (symmetric about the peak), from fmin
// down to fmin / 2, so a measured response's gain at 0 Hz is 0 and its step settles there. A
// loudspeaker's own gain at 0 Hz is 0 as well: its step reads as its own (the roll-off's share
// before the peak is a few thousandths of the step's height for the simulated loudspeaker). A
// transfer that passes 0 Hz shows the roll-off instead: a loopback measured from 20 Hz reads
// -0.46 before the peak, 0.54 just after it and -0.06 at 20 ms. No gain below fmin is made up.
[[nodiscard]] std::vector<StepRow> StepResponse(const CImpulseAnalysis& analysis,
                                                double toMs = kStepToMs);

// The header line "time_ms,amplitude", then one line per row.
[[nodiscard]] std::string FormatStepCsv(const std::vector<StepRow>& rows);

}  // namespace quorvel

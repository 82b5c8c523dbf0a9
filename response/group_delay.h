#pragma once

// Group delay over frequency: the total one from the measured phase, the minimum-phase one of
// the same level, and the excess (total minus minimum-phase), every 1/48 octave.
//
//   std::vector<GroupDelayRow> rows = GroupDelayRows(analysis);  // gated as the analysis is
//   std::string csv = FormatGroupDelayCsv(rows);
#include <string>
#include <vector>

#include "response/impulse_response.h"

namespace quorvel {

class CImpulseAnalysis;

struct GroupDelayRow {
  double frequencyHz = 0.0;
  double groupDelayMs = 0.0;         // from the phase, timed from the impulse response's peak
  double minimumPhaseDelayMs = 0.0;  // of the minimum-phase response of the same level
  double excessGroupDelayMs = 0.0;   // groupDelayMs - minimumPhaseDelayMs
};

// The rows at the FRD's frequencies (every 1/48 octave from fmin, then fmax). The phase is
// unwrapped along them and differenced between each frequency's neighbours (one-sided at the
// ends), with the phase's own time reference, the impulse response's peak: a response whose
// peak comes with its direct sound reads near 0 ms where that sound dominates. The minimum phase
// is that of the level the phase belongs to, without the microphone correction.
// From an analysis: its linear response, gated as set. Empty without a result.
[[nodiscard]] std::vector<GroupDelayRow> GroupDelayRows(const CImpulseAnalysis& analysis);
// From an impulse response, over its band fmin..fmax.
[[nodiscard]] std::vector<GroupDelayRow> GroupDelayRows(const ImpulseResponse& response);

// The header line "frequency_hz,group_delay_ms,excess_group_delay_ms", then one line per row.
[[nodiscard]] std::string FormatGroupDelayCsv(const std::vector<GroupDelayRow>& rows);

}  // namespace quorvel

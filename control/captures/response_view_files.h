#pragma once
// The files of the views of one response as CSV: group delay, step response and the cumulative
// spectral decay. Each has the response files' shape (control/response_files.h): it writes its
// file for an analysis with a result, whole or not at all; it fails when nothing was written,
// with kMsgCannotSaveFile and, on a second line, the path and the system's reason. Both front ends
// save through these. User-interface thread (or quorvel-cli's main thread).
#include <string>

#include "base/result.h"
#include "response/impulse_analysis.h"

namespace quorvel {

// `frequency_hz,group_delay_ms,excess_group_delay_ms` every 1/48 octave, gated as set.
[[nodiscard]] Result<void> SaveGroupDelayCsv(const std::string& path,
                                             const CImpulseAnalysis& analysis);
// `time_ms,amplitude` from 1 ms before the peak to 20 ms after it.
[[nodiscard]] Result<void> SaveStepCsv(const std::string& path, const CImpulseAnalysis& analysis);
// `time_ms,frequency_hz,level_db`, 31 slices from 0 to 10 ms after the peak.
[[nodiscard]] Result<void> SaveDecayCsv(const std::string& path, const CImpulseAnalysis& analysis);

}  // namespace quorvel

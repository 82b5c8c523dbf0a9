#pragma once
// The files of the views of one response that `quorvel-cli response` writes beside its FRD:
// group delay, step response and the cumulative spectral decay as CSV, the decay and the
// spectrogram as pictures. Each has the response command's writer shape: it writes its file
// for an analysis with a result, whole or not at all, and returns true; false when nothing was
// written, with *failureWords set to "Cannot save the file to disk..." and, on a second line,
// the path and the system's reason. Main thread.
#include <cstdint>
#include <string>

#include "cli/command_files.h"
#include "graph/response_view_plots.h"
#include "response/impulse_analysis.h"

namespace quorvel {

// `frequency_hz,group_delay_ms,excess_group_delay_ms` every 1/48 octave, gated as set.
[[nodiscard]] bool SaveGroupDelayCsv(const std::string& path, const CImpulseAnalysis& analysis,
                                     std::string* failureWords);
// `time_ms,amplitude` from 1 ms before the peak to 20 ms after it.
[[nodiscard]] bool SaveStepCsv(const std::string& path, const CImpulseAnalysis& analysis,
                               std::string* failureWords);
// `time_ms,frequency_hz,level_db`, 31 slices from 0 to 10 ms after the peak.
[[nodiscard]] bool SaveDecayCsv(const std::string& path, const CImpulseAnalysis& analysis,
                                std::string* failureWords);

// Bounds of their sizes for the free-space check [bytes]: a line every 1/48 octave from 1.9 to
// 24000 Hz under 64 bytes; a row a sample over 21 ms under 40 bytes; 31 slices of those
// frequencies under 48 bytes; the pictures' pixels uncompressed.
inline constexpr uint64_t kGroupDelayCsvBytes = 64 * 700 + 64;
inline constexpr uint64_t kStepCsvBytes = 40 * 1100 + 64;
inline constexpr uint64_t kDecayCsvBytes = 48 * 700 * 31 + 64;
inline constexpr uint64_t kViewPictureBytes = PngBytesBound(kViewPictureWidth, kViewPictureHeight);

}  // namespace quorvel

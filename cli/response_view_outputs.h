#pragma once
// The files of the views of one response that `quorvel-cli response` writes beside its FRD:
// group delay, step response and the cumulative spectral decay as CSV
// (control/response_view_files.h), the decay and the spectrogram as pictures
// (graph/response_view_plots.h), and the bounds of their sizes. Main thread.
#include <cstdint>
#include <string>

#include "cli/command_files.h"
#include "control/captures/response_view_files.h"
#include "graph/response_view_plots.h"
#include "response/impulse_analysis.h"

namespace quorvel {

// Bounds of their sizes for the free-space check [bytes]: a line every 1/48 octave from 1.9 to
// 24000 Hz under 64 bytes; a row a sample over 21 ms under 40 bytes; 31 slices of those
// frequencies under 48 bytes; the pictures' pixels uncompressed.
inline constexpr uint64_t kGroupDelayCsvBytes = 64 * 700 + 64;
inline constexpr uint64_t kStepCsvBytes = 40 * 1100 + 64;
inline constexpr uint64_t kDecayCsvBytes = 48 * 700 * 31 + 64;
inline constexpr uint64_t kViewPictureBytes = PngBytesBound(kViewPictureWidth, kViewPictureHeight);

}  // namespace quorvel

#pragma once
// A microphone chart as the impulse-response analysis takes it: the chart's level at any
// frequency, subtracted from every level the analysis reports (as the live curve subtracts it
// from every point).
#include <string>

#include "response/impulse_analysis.h"

namespace quorvel {

// Loads the chart file at chartPath for the range fmin..fmax [Hz] (as the live curve loads it)
// into *correction: the chart's level at a frequency, interpolated linearly in log frequency
// between its resampled entries, the first entry's level below fmin and the last one's above
// fmax. False, with *correction untouched, when the chart is unusable.
[[nodiscard]] bool LoadChartCorrection(const std::string& chartPath, double fmin, double fmax,
                                       LevelCorrection* correction);

}  // namespace quorvel

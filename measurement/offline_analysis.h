#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "engine/capture_analysis.h"
#include "measurement/resolved_chart.h"

namespace quorvel {

// What the replay of a recording gives: its live curve and what the analysis counted.
struct OfflineCurve {
  std::vector<double> levels;  // the points [dB] as the live curve stores them, at most 1001
  AnalysisCounters counters;   // sync, clipping and gaps, as the engine counts them

  // The curve holds all its points when the samples have run out (CurveWholeAtSamplesEnd).
  [[nodiscard]] bool Complete() const {
    return CurveWholeAtSamplesEnd(static_cast<int>(levels.size()));
  }
};

// The samples of a recording (16-bit, mono, 48000 Hz) analysed as the window's replay analyses
// them, on the calling thread and at full speed, with no engine: the points are timed for a
// sweep from fmin [Hz], a sample at 16-bit full scale marks its block clipped, and each point
// has the chart's live correction subtracted when a chart is given. The same numbers as a
// replay through the engine into the curve store.
[[nodiscard]] OfflineCurve AnalyseRecording(std::span<const int16_t> samples, double fmin,
                                            const std::optional<ResolvedChart>& chart);

}  // namespace quorvel

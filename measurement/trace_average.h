#pragma once

// Averages of two or more traces, each a derived trace that names its sources and its way:
// - dB mean: the mean of the smoothed levels in dB (a target to equalise to);
// - power mean: the RMS of the magnitudes (positions around a listening area);
// - vector mean: the complex mean of the transfers after lining them up in time (repeated takes
//   at one position): by the cross-correlation of their impulse responses, or by their loopback
//   time references when every source has one.
// Over the sources' common range (measurement/trace_range.h), on its 1/48-octave grid.
#include <span>
#include <string>

#include "base/result.h"
#include "measurement/trace.h"

namespace quorvel {

enum class AverageWay { kDbMean, kPowerMean, kVectorMean };

struct AverageOptions {
  int smoothingBands = 0;  // 1/N octave; 0: none
  bool align = true;       // vector mean: false averages the transfers as measured (`--no-align`)
  double fminHz = 0.0;     // > 0: a part of the common range only
  double fmaxHz = 0.0;
  std::string name = {};  // the derived trace's; empty: "dB mean", "power mean" or "vector mean"
};

// The average of the traces (unsmoothed, as measured: the smoothing is the options').
// - dB mean: each source smoothed over its own range, then the mean of the levels;
// - power mean: 10 log10 of the mean of the powers, the sources smoothed likewise (the two
//   commute);
// - vector mean: the mean of the aligned transfers, its level then smoothed; timed from the
//   mean's impulse response's peak, as a measured trace is.
// The phase: for dB and power means the minimum phase of the resulting level (PhaseKind
// kMinimum), for the vector mean that of the mean (kVectorMean). Refused with fewer than two
// traces, without a common range, and for a vector mean when a source has no transfer or
// impulse response (a derived dB or power mean, a difference).
[[nodiscard]] Result<Trace> AverageTraces(std::span<const Trace> traces, AverageWay way,
                                          const AverageOptions& options);

// The way as legends, FRD comments and `--mode` name it: "dB mean" / "db", "power mean" /
// "power", "vector mean" / "vector".
[[nodiscard]] const char* AverageWayName(AverageWay way);
[[nodiscard]] const char* AverageModeWord(AverageWay way);
// The way a `--mode` word names; refused for any other word.
[[nodiscard]] Result<AverageWay> AverageWayOfMode(const std::string& word);

}  // namespace quorvel

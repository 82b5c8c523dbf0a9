#pragma once

#include <string>
#include <vector>

#include "eq/biquad.h"
#include "eq/eq_target.h"

namespace quorvel {

// The equaliser made from a measured trace: up to N peaking filters and, where they serve,
// one low and one high shelf, placed greedily on the largest remaining area between the
// smoothed trace and the target, then all refined together (eq_fit_model.h), rounded as they
// are written and judged by what the rounded filters do.

// A measured response, as an FRD holds it: frequencies increasing. [Hz, dB]
struct EqTrace {
  std::vector<double> frequenciesHz;
  std::vector<double> levelsDb;
};

struct EqFitOptions {
  double matchLowHz = 30.0;  // the range the fit judges, and where every filter must sit [Hz]
  double matchHighHz = 10000.0;
  double smoothingBandsPerOctave = 6.0;  // the fit sees the trace smoothed over 1/N octave
  int peakingFilters = 10;               // at most, 0..20
  bool shelves = true;                   // one low and one high shelf where they serve
  double maxBoostDb = 0.0;               // 0 (cut only) .. 6
  double maxCutDb = 20.0;                // 1 .. 20
  double minQ = 0.3;                     // the peaking filters' Q, within 0.3 .. 10
  double maxQ = 10.0;
  // Dips of the smoothed trace below the target that an equaliser cannot fill (a room's
  // null): narrower than this at half their depth ([octaves]; the smoothing band is added,
  // as smoothing widens a narrow dip by up to its band), or deeper than deepDipDb. They are
  // left out of the fit and the boost penalty keeps boosts out of them.
  bool leaveDipsAlone = true;
  double narrowDipOctaves = 1.0 / 6.0;
  double deepDipDb = 10.0;
};

// The filters and their preamp: what every writer writes and the pre-filtered sweep plays.
struct EqFilterSet {
  double preampDb = 0.0;          // minus the filters' largest gain, never above 0 [dB]
  std::vector<EqFilter> filters;  // low shelf first, peaking filters by frequency, high shelf last
};

// A dip the fit left alone. [Hz, dB below the target]
struct EqDip {
  double lowHz = 0.0;
  double highHz = 0.0;
  double depthDb = 0.0;
};

struct EqFitResult {
  std::string error;  // why no equaliser was made ("the match range ..."), or empty
  EqFilterSet filterSet;
  // The trace with the filters (the preamp lowers it by preampDb on top), at the trace's own
  // frequencies. [dB]
  std::vector<double> predictionDb;
  // The fit's grid over the match range (every 1/48 octave) with the smoothed trace, the
  // target moved to the trace's level, and the smoothed trace with the filters. [Hz, dB]
  std::vector<double> gridHz;
  std::vector<double> smoothedTraceDb;
  std::vector<double> targetDb;
  std::vector<double> smoothedPredictionDb;
  std::vector<EqDip> dipsLeftAlone;
  // The smoothed prediction less the target over the match range: its RMS, its largest
  // deviation either way, and its RMS outside the dips left alone. [dB]
  double residualRmsDb = 0.0;
  double residualLargestDb = 0.0;
  double residualRmsOutsideDipsDb = 0.0;
};

// Why the options cannot be used ("the match range must ..."), or empty.
[[nodiscard]] std::string CheckFitOptions(const EqFitOptions& options);

// The equaliser for `trace` aimed at `target`. A trace that does not cover the match range,
// holds a non-finite value or a frequency out of order, or bad options or target, give a
// result with only `error` set.
[[nodiscard]] EqFitResult FitEqualiser(const EqTrace& trace, const EqTarget& target,
                                       const EqFitOptions& options);

// The filters' largest combined gain from 10 Hz to just below the Nyquist frequency. [dB]
[[nodiscard]] double LargestGainDb(const std::vector<EqFilter>& filters);

}  // namespace quorvel

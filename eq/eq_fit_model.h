#pragma once

#include <vector>

#include "eq/biquad.h"
#include "eq/biquad_design.h"

namespace quorvel {

// The least-squares problem the fit solves on its log-frequency grid over the match range,
// and its refinement of all filter parameters together by NLopt's SLSQP with the exact
// gradient. Used by the fit (eq_fit.cpp); plain data, no state.
struct EqFitProblem {
  std::vector<double> gridHz;                         // the match range, every 1/48 octave
  std::vector<eqdesign::UnitCirclePoint> unitCircle;  // each grid frequency at 48000 Hz
  // What the equaliser should add: target - smoothed trace, or 0 where a dip is left alone.
  std::vector<double> wantedDb;
  std::vector<char> leftAlone;            // 1 where a dip is left alone: no filter is placed there
  double lowHz = 30.0, highHz = 10000.0;  // no filter centre or corner outside
  double maxBoostDb = 0.0, maxCutDb = 20.0;
  double minQ = 0.3, maxQ = 10.0;
};

// Sets unitCircle from gridHz.
void PrepareGrid(EqFitProblem* problem);

// The equaliser's gain on the grid. [dB]
[[nodiscard]] std::vector<double> GridGainDb(const EqFitProblem& problem,
                                             const std::vector<EqFilter>& filters);

// The fit's error for the filters: the mean squared difference between the equaliser's gain
// and the wanted gain, plus penalties on boosting (a mild one on any
// boost, so that a cut is preferred where both serve, and a steep one on a combined boost
// above maxBoostDb). [dB^2]
[[nodiscard]] double FitErrorDb2(const EqFitProblem& problem, const std::vector<EqFilter>& filters);

// The RMS of the equaliser's gain less the wanted gain, without penalties. [dB]
[[nodiscard]] double FitRmsDb(const EqFitProblem& problem, const std::vector<EqFilter>& filters);

// The gradient of FitErrorDb2 by each filter's parameters in the fit's own coordinates: log2
// of the frequency, the gain in dB and (peaking only) log2 of Q; three entries per filter, the
// third 0 for shelves. For the tests of the gradient.
[[nodiscard]] std::vector<double> FitErrorGradient(const EqFitProblem& problem,
                                                   const std::vector<EqFilter>& filters);

// All the filters' parameters refined together within the limits (frequency within the match
// range, gain within -maxCutDb..maxBoostDb, peaking Q within minQ..maxQ; shelves keep kShelfQ).
// The filters come back unchanged when the optimiser finds nothing better.
void RefineFilters(const EqFitProblem& problem, std::vector<EqFilter>* filters);

}  // namespace quorvel

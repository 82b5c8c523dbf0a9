#include "eq/eq_fit.h"

#include <algorithm>
#include <cmath>

#include "eq/eq_fit_model.h"
#include "measurement/octave_smoothing.h"

namespace quorvel {

namespace {

// The fit's grid: every 1/48 octave over the match range, an FRD's resolution.
constexpr double kGridPointsPerOctave = 48.0;
// Greedy placement stops when no remaining area peaks by this much. [dB]
constexpr double kSmallestCorrectionDb = 0.3;
// A shelf is tried where the trace stands off the target by this much on average over its
// octave at the end of the match range, and kept when it still does this much after the fit
// and the fit with shelves is no worse than without by more than kShelfToleranceDb of RMS: a
// shelf is the natural shape of a broad step at the end of the range, which peaking filters
// at the edge only imitate, and it leaves them free for the peaks. [dB]
constexpr double kShelfWorthDb = 0.5;
constexpr double kShelfToleranceDb = 0.05;
// A dip shallower than this is no null, whatever its width. [dB]
constexpr double kShallowestDipDb = 1.0;
// Where the largest gain is looked for: 10 Hz to 99.9 % of the Nyquist frequency, every 1/96
// octave, and at each filter's own frequency.
constexpr double kLowestCheckedHz = 10.0;
constexpr double kCheckPointsPerOctave = 96.0;
// Rounding as the filters are written. [Hz, dB, 1]
constexpr double kFrequencyStepHz = 0.1;
constexpr double kGainStepDb = 0.1;
constexpr double kQStep = 0.001;

// Levels beyond this cannot be measured and would overflow as powers. [dB]
constexpr double kLargestLevelDb = 1000.0;

// The nearest double to the decimal written (3043.1, not 30431 * 0.1 = 3043.1000000000004), so
// that a JSON writer's shortest form of it is the written decimal too.
double RoundTo(double value, double step) {
  const double perUnit = std::round(1.0 / step);
  return std::round(value * perUnit) / perUnit;
}

std::string CheckTrace(const EqTrace& trace, const EqFitOptions& options) {
  const auto& f = trace.frequenciesHz;
  if (f.size() < 2 || f.size() != trace.levelsDb.size()) {
    return "the trace needs at least two points, each a frequency and a level";
  }
  for (size_t i = 0; i < f.size(); ++i) {
    if (!std::isfinite(f[i]) || f[i] <= 0.0 || !(std::fabs(trace.levelsDb[i]) <= kLargestLevelDb)) {
      return "the trace holds a point that is not a positive frequency and a level within "
             "+-1000 dB";
    }
    if (i > 0 && f[i] <= f[i - 1]) return "the trace's frequencies must increase";
  }
  // A trace measured from exactly the match range's ends may stop a rounding step short.
  constexpr double kEndTolerance = 1.001;
  if (f.front() > options.matchLowHz * kEndTolerance ||
      f.back() * kEndTolerance < options.matchHighHz) {
    return "the trace does not cover the match range";
  }
  return std::string();
}

// The fit's grid over the match range.
std::vector<double> MatchGrid(const EqFitOptions& options) {
  const double octaves = std::log2(options.matchHighHz / options.matchLowHz);
  const auto steps = static_cast<size_t>(std::ceil(octaves * kGridPointsPerOctave));
  std::vector<double> grid(steps + 1);
  for (size_t j = 0; j <= steps; ++j) {
    grid[j] = options.matchLowHz *
              std::exp2(octaves * static_cast<double>(j) / static_cast<double>(steps));
  }
  return grid;
}

// The dips the equaliser cannot fill: each a whole run of the grid below the target, where
// the equaliser is then held to add nothing (wanted 0: neither filling the dip nor deepening
// it with the skirts of a cut beside it).
std::vector<EqDip> LeaveDipsAlone(const EqFitOptions& options, const std::vector<double>& grid,
                                  std::vector<double>* wantedDb, std::vector<char>* leftAlone) {
  const std::vector<double>& wanted = *wantedDb;
  std::vector<EqDip> dips;
  const double narrowOctaves = options.narrowDipOctaves + 1.0 / options.smoothingBandsPerOctave;
  const double step = std::log2(grid[1] / grid[0]);  // [octaves]
  size_t j = 0;
  while (j < grid.size()) {
    // A dip: a run where the trace lies below the target (the equaliser would have to add).
    if (!(wanted[j] > 0.0)) {
      ++j;
      continue;
    }
    const size_t begin = j;
    while (j < grid.size() && wanted[j] > 0.0) ++j;
    const size_t end = j;
    const auto deepest = std::max_element(wanted.begin() + begin, wanted.begin() + end);
    const double depthDb = *deepest;
    const auto bottom = static_cast<size_t>(deepest - wanted.begin());
    auto spanAbove = [&](double level, size_t* low, size_t* high) {
      *low = *high = bottom;
      while (*low > begin && wanted[*low - 1] > level) --*low;
      while (*high + 1 < end && wanted[*high + 1] > level) ++*high;
    };
    size_t low = 0, high = 0;
    spanAbove(depthDb / 2.0, &low, &high);
    const double widthOctaves = static_cast<double>(high - low + 1) * step;
    if (depthDb >= kShallowestDipDb &&
        (widthOctaves < narrowOctaves || depthDb > options.deepDipDb)) {
      dips.push_back({grid[begin], grid[end - 1], depthDb});
      for (size_t k = begin; k < end; ++k) (*leftAlone)[k] = 1;
    }
  }
  for (size_t k = 0; k < grid.size(); ++k) {
    if ((*leftAlone)[k] != 0) (*wantedDb)[k] = 0.0;
  }
  return dips;
}

// One peaking filter on the largest remaining area of `remaining` (wanted less what the
// filters so far add) that the limits allow; false when none is worth a filter.
bool PlaceOnLargestArea(const EqFitProblem& problem, const std::vector<double>& remaining,
                        EqFilter* filter) {
  const size_t n = remaining.size();
  double bestArea = 0.0;
  size_t bestPeak = 0, bestBegin = 0, bestEnd = 0;
  size_t j = 0;
  while (j < n) {
    const double sign = remaining[j] > 0.0 ? 1.0 : -1.0;
    const bool allowed = problem.leftAlone[j] == 0 && (sign < 0.0 || problem.maxBoostDb > 0.0);
    const size_t begin = j;
    while (j < n && problem.leftAlone[j] == problem.leftAlone[begin] &&
           (remaining[j] > 0.0 ? 1.0 : -1.0) == sign) {
      ++j;
    }
    if (!allowed) continue;
    double area = 0.0;
    size_t peak = begin;
    for (size_t k = begin; k < j; ++k) {
      area += std::fabs(remaining[k]);
      if (std::fabs(remaining[k]) > std::fabs(remaining[peak])) peak = k;
    }
    if (area > bestArea && std::fabs(remaining[peak]) >= kSmallestCorrectionDb) {
      bestArea = area;
      bestPeak = peak;
      bestBegin = begin;
      bestEnd = j;
    }
  }
  if (bestArea <= 0.0) return false;
  // The bandwidth between the points at half the peak's dB (the cookbook's peaking bandwidth).
  const double half = std::fabs(remaining[bestPeak]) / 2.0;
  size_t low = bestPeak, high = bestPeak;
  while (low > bestBegin && std::fabs(remaining[low - 1]) > half) --low;
  while (high + 1 < bestEnd && std::fabs(remaining[high + 1]) > half) ++high;
  const double bandwidthOctaves =
      std::max(std::log2(problem.gridHz[high] / problem.gridHz[low]), 1.0 / kGridPointsPerOctave);
  const double spread = std::exp2(bandwidthOctaves);
  filter->type = EqFilterType::kPeaking;
  filter->frequencyHz = problem.gridHz[bestPeak];
  filter->gainDb = std::clamp(remaining[bestPeak], -problem.maxCutDb, problem.maxBoostDb);
  filter->q = std::clamp(std::sqrt(spread) / (spread - 1.0), problem.minQ, problem.maxQ);
  return true;
}

// Greedy placement of up to `count` peaking filters after `filters`, then the refinement of
// them all.
void PlaceAndRefine(const EqFitProblem& problem, int count, std::vector<EqFilter>* filters) {
  for (int k = 0; k < count; ++k) {
    const std::vector<double> gain = GridGainDb(problem, *filters);
    std::vector<double> remaining(gain.size());
    for (size_t j = 0; j < gain.size(); ++j) remaining[j] = problem.wantedDb[j] - gain[j];
    EqFilter filter;
    if (!PlaceOnLargestArea(problem, remaining, &filter)) break;
    filters->push_back(filter);
  }
  RefineFilters(problem, filters);
}

// A shelf's starting point: the mean wanted gain over the octave at its end of the range.
std::vector<EqFilter> StartingShelves(const EqFitProblem& problem) {
  std::vector<EqFilter> shelves;
  const double lowCornerHz = std::min(problem.lowHz * 2.0, problem.highHz);
  const double highCornerHz = std::max(problem.highHz / 2.0, problem.lowHz);
  double lowSum = 0.0, highSum = 0.0, lowCount = 0.0, highCount = 0.0;
  for (size_t j = 0; j < problem.gridHz.size(); ++j) {
    if (problem.leftAlone[j] != 0) continue;
    if (problem.gridHz[j] <= lowCornerHz) {
      lowSum += problem.wantedDb[j];
      lowCount += 1.0;
    }
    if (problem.gridHz[j] >= highCornerHz) {
      highSum += problem.wantedDb[j];
      highCount += 1.0;
    }
  }
  auto add = [&](EqFilterType type, double cornerHz, double sum, double count) {
    if (count <= 0.0) return;
    const double gainDb = std::clamp(sum / count, -problem.maxCutDb, problem.maxBoostDb);
    if (std::fabs(gainDb) >= kShelfWorthDb) shelves.push_back({type, cornerHz, gainDb, kShelfQ});
  };
  add(EqFilterType::kLowShelf, lowCornerHz, lowSum, lowCount);
  add(EqFilterType::kHighShelf, highCornerHz, highSum, highCount);
  return shelves;
}

// The filters rounded as they are written, kept within the limits, the ones that do nothing
// dropped, in the written order.
std::vector<EqFilter> Rounded(const EqFitProblem& problem, std::vector<EqFilter> filters) {
  const double lowHz = std::ceil(problem.lowHz / kFrequencyStepHz) * kFrequencyStepHz;
  const double highHz = std::floor(problem.highHz / kFrequencyStepHz) * kFrequencyStepHz;
  std::vector<EqFilter> kept;
  for (EqFilter filter : filters) {
    filter.frequencyHz = std::clamp(RoundTo(filter.frequencyHz, kFrequencyStepHz), lowHz, highHz);
    filter.gainDb =
        std::clamp(RoundTo(filter.gainDb, kGainStepDb), -problem.maxCutDb, problem.maxBoostDb);
    filter.q = filter.type == EqFilterType::kPeaking
                   ? std::clamp(RoundTo(filter.q, kQStep), problem.minQ, problem.maxQ)
                   : kShelfQ;
    if (filter.gainDb != 0.0) kept.push_back(filter);
  }
  auto rank = [](const EqFilter& f) {
    return f.type == EqFilterType::kLowShelf ? 0 : f.type == EqFilterType::kPeaking ? 1 : 2;
  };
  std::stable_sort(kept.begin(), kept.end(), [&](const EqFilter& a, const EqFilter& b) {
    return rank(a) != rank(b) ? rank(a) < rank(b) : a.frequencyHz < b.frequencyHz;
  });
  return kept;
}

}  // namespace

std::string CheckFitOptions(const EqFitOptions& o) {
  if (!std::isfinite(o.matchLowHz) || !std::isfinite(o.matchHighHz) || o.matchLowHz < 10.0 ||
      o.matchHighHz > 20000.0 || o.matchHighHz < 2.0 * o.matchLowHz) {
    return "the match range must lie within 10-20000 Hz and span at least an octave";
  }
  if (!(o.smoothingBandsPerOctave >= 1.0 && o.smoothingBandsPerOctave <= 48.0)) {
    return "the smoothing must be 1/1 to 1/48 octave";
  }
  if (o.peakingFilters < 0 || o.peakingFilters > 20) return "the filters must number 0 to 20";
  if (!(o.maxBoostDb >= 0.0 && o.maxBoostDb <= 6.0)) return "the largest boost must be 0 to 6 dB";
  if (!(o.maxCutDb >= 1.0 && o.maxCutDb <= 20.0)) return "the largest cut must be 1 to 20 dB";
  if (!(o.minQ >= 0.3 && o.maxQ <= 10.0 && o.minQ <= o.maxQ)) {
    return "the peaking filters' Q must lie within 0.3 to 10";
  }
  if (!(o.narrowDipOctaves >= 0.0 && o.deepDipDb > 0.0)) {
    return "the dip limits must be positive";
  }
  return std::string();
}

double LargestGainDb(const std::vector<EqFilter>& filters) {
  if (filters.empty()) return 0.0;
  const double highestHz = 0.999 * kEqSampleRateHz / 2.0;
  double largest = -1e9;
  const double octaves = std::log2(highestHz / kLowestCheckedHz);
  const auto steps = static_cast<int>(std::ceil(octaves * kCheckPointsPerOctave));
  for (int k = 0; k <= steps; ++k) {
    const double f = kLowestCheckedHz * std::exp2(octaves * k / steps);
    largest = std::max(largest, CascadeGainDb(filters, f));
  }
  for (const EqFilter& filter : filters) {
    largest = std::max(largest, CascadeGainDb(filters, filter.frequencyHz));
  }
  return largest;
}

EqFitResult FitEqualiser(const EqTrace& trace, const EqTarget& target,
                         const EqFitOptions& options) {
  EqFitResult result;
  result.error = CheckFitOptions(options);
  if (result.error.empty()) result.error = CheckTarget(target);
  if (result.error.empty()) result.error = CheckTrace(trace, options);
  if (!result.error.empty()) return result;

  // The smoothed trace and the target, moved to the trace's mean level, on the grid.
  result.gridHz = MatchGrid(options);
  result.smoothedTraceDb = SmoothFractionalOctaveDb(trace.frequenciesHz, trace.levelsDb,
                                                    options.smoothingBandsPerOctave, result.gridHz);
  result.targetDb = TargetShapeDb(target, result.gridHz);
  double offsetDb = 0.0;
  for (size_t j = 0; j < result.gridHz.size(); ++j) {
    offsetDb += result.smoothedTraceDb[j] - result.targetDb[j];
  }
  offsetDb /= static_cast<double>(result.gridHz.size());
  for (double& level : result.targetDb) level += offsetDb;

  EqFitProblem problem;
  problem.gridHz = result.gridHz;
  PrepareGrid(&problem);
  problem.lowHz = options.matchLowHz;
  problem.highHz = options.matchHighHz;
  problem.maxBoostDb = options.maxBoostDb;
  problem.maxCutDb = options.maxCutDb;
  problem.minQ = options.minQ;
  problem.maxQ = options.maxQ;
  problem.leftAlone.assign(result.gridHz.size(), 0);
  for (size_t j = 0; j < result.gridHz.size(); ++j) {
    problem.wantedDb.push_back(result.targetDb[j] - result.smoothedTraceDb[j]);
  }
  if (options.leaveDipsAlone) {
    result.dipsLeftAlone =
        LeaveDipsAlone(options, result.gridHz, &problem.wantedDb, &problem.leftAlone);
  }

  // Peaking filters alone, then with the shelves that look worth trying; the shelves stay
  // only where they serve.
  std::vector<EqFilter> filters;
  PlaceAndRefine(problem, options.peakingFilters, &filters);
  if (options.shelves) {
    std::vector<EqFilter> withShelves = StartingShelves(problem);
    if (!withShelves.empty()) {
      PlaceAndRefine(problem, options.peakingFilters, &withShelves);
      if (std::erase_if(withShelves, [](const EqFilter& f) {
            return f.type != EqFilterType::kPeaking && std::fabs(f.gainDb) < kShelfWorthDb;
          }) > 0) {
        RefineFilters(problem, &withShelves);
      }
      if (FitRmsDb(problem, withShelves) <= FitRmsDb(problem, filters) + kShelfToleranceDb) {
        filters = std::move(withShelves);
      }
    }
  }

  // Judged as written: rounded filters, and a preamp that keeps the largest gain at 0 dB.
  result.filterSet.filters = Rounded(problem, std::move(filters));
  const double largestDb = LargestGainDb(result.filterSet.filters);
  result.filterSet.preampDb =
      largestDb > 0.0 ? -std::ceil(largestDb / kGainStepDb - 1e-9) * kGainStepDb : 0.0;
  for (size_t i = 0; i < trace.frequenciesHz.size(); ++i) {
    result.predictionDb.push_back(trace.levelsDb[i] +
                                  CascadeGainDb(result.filterSet.filters, trace.frequenciesHz[i]));
  }
  const std::vector<double> gain = GridGainDb(problem, result.filterSet.filters);
  double sum = 0.0, outsideSum = 0.0, outside = 0.0;
  for (size_t j = 0; j < gain.size(); ++j) {
    result.smoothedPredictionDb.push_back(result.smoothedTraceDb[j] + gain[j]);
    const double deviation = result.smoothedPredictionDb[j] - result.targetDb[j];
    sum += deviation * deviation;
    if (std::fabs(deviation) > std::fabs(result.residualLargestDb)) {
      result.residualLargestDb = deviation;
    }
    if (problem.leftAlone[j] == 0) {
      outsideSum += deviation * deviation;
      outside += 1.0;
    }
  }
  result.residualRmsDb = std::sqrt(sum / static_cast<double>(gain.size()));
  result.residualRmsOutsideDipsDb = outside > 0.0 ? std::sqrt(outsideSum / outside) : 0.0;
  return result;
}

}  // namespace quorvel

#include "eq/eq_fit_model.h"

#include <nlopt.h>

#include <algorithm>
#include <cmath>

#include "eq/biquad_design.h"
#include "eq/dual_number.h"

namespace quorvel {

namespace {

using eqdesign::Dual;

// The penalties on boosts: a mild one per dB^2 of any boost, a steep one per dB^2 above the
// largest boost allowed (filters may overlap).
constexpr double kBoostPenalty = 0.05;
constexpr double kOverBoostPenalty = 10.0;
// The optimiser's stopping rules: a relative change of the error, a change of the parameters
// (about 0.1 % of frequency or Q, 0.001 dB), and an evaluation budget that bounds the time.
constexpr double kErrorTolerance = 1e-7;
constexpr double kParameterTolerance = 1e-3;
constexpr int kMaxEvaluations = 400;

constexpr size_t kParameters = 3;  // per filter, in the fit's coordinates

// One filter's gain on the grid, and its derivatives by its parameters (log2 frequency, gain,
// log2 Q) when `derivatives` is given (kParameters per grid point).
void FilterGainOnGrid(const EqFitProblem& problem, const EqFilter& filter,
                      std::vector<double>* gain, std::vector<double>* derivatives) {
  const Dual frequency(filter.frequencyHz, 0);
  const Dual frequencyByLog2 = Scaled(frequency, filter.frequencyHz, filter.frequencyHz * M_LN2);
  const Dual gainDb(filter.gainDb, 1);
  const bool peaking = filter.type == EqFilterType::kPeaking;
  const double qValue = peaking ? filter.q : kShelfQ;
  const Dual q = peaking ? Scaled(Dual(qValue, 2), qValue, qValue * M_LN2) : Dual(qValue);
  const auto raw =
      eqdesign::CookbookBiquad<Dual>(filter.type, frequencyByLog2, gainDb, q, kEqSampleRateHz);
  const size_t n = problem.gridHz.size();
  gain->resize(n);
  if (derivatives != nullptr) derivatives->resize(n * kParameters);
  for (size_t j = 0; j < n; ++j) {
    const Dual num = eqdesign::SquaredMagnitude(raw.b0, raw.b1, raw.b2, problem.unitCircle[j]);
    const Dual den = eqdesign::SquaredMagnitude(raw.a0, raw.a1, raw.a2, problem.unitCircle[j]);
    (*gain)[j] = 10.0 * std::log10(num.v / den.v);
    if (derivatives == nullptr) continue;
    for (size_t k = 0; k < kParameters; ++k) {
      (*derivatives)[j * kParameters + k] = (10.0 / M_LN10) * (num.d[k] / num.v - den.d[k] / den.v);
    }
  }
}

// The error, and its gradient by every parameter when `gradient` is given.
double ErrorAndGradient(const EqFitProblem& problem, const std::vector<EqFilter>& filters,
                        std::vector<double>* gradient) {
  const size_t n = problem.gridHz.size();
  std::vector<std::vector<double>> gains(filters.size()), slopes(filters.size());
  std::vector<double> total(n, 0.0);
  for (size_t i = 0; i < filters.size(); ++i) {
    FilterGainOnGrid(problem, filters[i], &gains[i], gradient != nullptr ? &slopes[i] : nullptr);
    for (size_t j = 0; j < n; ++j) total[j] += gains[i][j];
  }
  const auto points = static_cast<double>(n);
  const double boostPenalty = problem.maxBoostDb > 0.0 ? kBoostPenalty : 0.0;
  double error = 0.0;
  std::vector<double> byGain(n);  // d error / d total gain at each point
  for (size_t j = 0; j < n; ++j) {
    const double miss = total[j] - problem.wantedDb[j];
    const double boost = std::max(0.0, total[j]);
    const double over = std::max(0.0, total[j] - problem.maxBoostDb);
    error +=
        (miss * miss + boostPenalty * boost * boost + kOverBoostPenalty * over * over) / points;
    byGain[j] = 2.0 * (miss + boostPenalty * boost + kOverBoostPenalty * over) / points;
  }
  if (gradient != nullptr) {
    gradient->assign(filters.size() * kParameters, 0.0);
    for (size_t i = 0; i < filters.size(); ++i) {
      for (size_t j = 0; j < n; ++j) {
        for (size_t k = 0; k < kParameters; ++k) {
          (*gradient)[i * kParameters + k] += byGain[j] * slopes[i][j * kParameters + k];
        }
      }
    }
  }
  return error;
}

// The filters from the optimiser's vector (kParameters per filter).
std::vector<EqFilter> FiltersFrom(const std::vector<EqFilter>& layout, const double* x) {
  std::vector<EqFilter> filters = layout;
  for (size_t i = 0; i < filters.size(); ++i) {
    filters[i].frequencyHz = std::exp2(x[i * kParameters]);
    filters[i].gainDb = x[i * kParameters + 1];
    filters[i].q =
        filters[i].type == EqFilterType::kPeaking ? std::exp2(x[i * kParameters + 2]) : kShelfQ;
  }
  return filters;
}

struct Objective {
  const EqFitProblem* problem;
  const std::vector<EqFilter>* layout;
};

double ObjectiveCallback(unsigned n, const double* x, double* grad, void* data) {
  const auto* objective = static_cast<const Objective*>(data);
  std::vector<double> gradient;
  const double error = ErrorAndGradient(*objective->problem, FiltersFrom(*objective->layout, x),
                                        grad != nullptr ? &gradient : nullptr);
  if (grad != nullptr) std::copy(gradient.begin(), gradient.begin() + n, grad);
  return error;
}

}  // namespace

void PrepareGrid(EqFitProblem* problem) {
  problem->unitCircle.clear();
  for (const double f : problem->gridHz) {
    const double w = 2.0 * M_PI * f / kEqSampleRateHz;
    problem->unitCircle.push_back({std::cos(w), std::sin(w), std::cos(2.0 * w), std::sin(2.0 * w)});
  }
}

std::vector<double> GridGainDb(const EqFitProblem& problem, const std::vector<EqFilter>& filters) {
  std::vector<double> total(problem.gridHz.size(), 0.0), gain;
  for (const EqFilter& filter : filters) {
    FilterGainOnGrid(problem, filter, &gain, nullptr);
    for (size_t j = 0; j < total.size(); ++j) total[j] += gain[j];
  }
  return total;
}

double FitErrorDb2(const EqFitProblem& problem, const std::vector<EqFilter>& filters) {
  return ErrorAndGradient(problem, filters, nullptr);
}

double FitRmsDb(const EqFitProblem& problem, const std::vector<EqFilter>& filters) {
  const std::vector<double> total = GridGainDb(problem, filters);
  double sum = 0.0;
  for (size_t j = 0; j < total.size(); ++j) {
    const double miss = total[j] - problem.wantedDb[j];
    sum += miss * miss;
  }
  return total.empty() ? 0.0 : std::sqrt(sum / static_cast<double>(total.size()));
}

std::vector<double> FitErrorGradient(const EqFitProblem& problem,
                                     const std::vector<EqFilter>& filters) {
  std::vector<double> gradient;
  ErrorAndGradient(problem, filters, &gradient);
  return gradient;
}

void RefineFilters(const EqFitProblem& problem, std::vector<EqFilter>* filters) {
  if (filters->empty()) return;
  const size_t n = filters->size() * kParameters;
  std::vector<double> x(n), lower(n), upper(n);
  for (size_t i = 0; i < filters->size(); ++i) {
    const EqFilter& filter = (*filters)[i];
    const bool peaking = filter.type == EqFilterType::kPeaking;
    lower[i * kParameters] = std::log2(problem.lowHz);
    upper[i * kParameters] = std::log2(problem.highHz);
    lower[i * kParameters + 1] = -problem.maxCutDb;
    upper[i * kParameters + 1] = problem.maxBoostDb;
    // A shelf's third coordinate is unused: pinned at 0.
    lower[i * kParameters + 2] = peaking ? std::log2(problem.minQ) : 0.0;
    upper[i * kParameters + 2] = peaking ? std::log2(problem.maxQ) : 0.0;
    x[i * kParameters] = std::log2(filter.frequencyHz);
    x[i * kParameters + 1] = filter.gainDb;
    x[i * kParameters + 2] = peaking ? std::log2(filter.q) : 0.0;
  }
  for (size_t k = 0; k < n; ++k) x[k] = std::clamp(x[k], lower[k], upper[k]);
  const double before = FitErrorDb2(problem, FiltersFrom(*filters, x.data()));

  nlopt_opt optimiser = nlopt_create(NLOPT_LD_SLSQP, static_cast<unsigned>(n));
  if (optimiser == nullptr) return;
  Objective objective{&problem, filters};
  nlopt_set_lower_bounds(optimiser, lower.data());
  nlopt_set_upper_bounds(optimiser, upper.data());
  nlopt_set_min_objective(optimiser, ObjectiveCallback, &objective);
  nlopt_set_ftol_rel(optimiser, kErrorTolerance);
  nlopt_set_xtol_abs1(optimiser, kParameterTolerance);
  nlopt_set_maxeval(optimiser, kMaxEvaluations);
  double error = before;
  const nlopt_result result = nlopt_optimize(optimiser, x.data(), &error);
  nlopt_destroy(optimiser);
  // A stop on round-off or the budget still leaves the best point found; only a real failure,
  // or no gain, keeps the filters as they came.
  const bool usable = result > 0 || result == NLOPT_ROUNDOFF_LIMITED;
  if (!usable || !std::isfinite(error) || error >= before) return;
  for (size_t k = 0; k < n; ++k) x[k] = std::clamp(x[k], lower[k], upper[k]);
  *filters = FiltersFrom(*filters, x.data());
}

}  // namespace quorvel

// The fit against analytic rooms: a flat speaker with known peaks, broad dips and a deep
// narrow null (cookbook peaking filters of known parameters), every 1/48 octave.
#include "eq/eq_fit.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "eq/eq_fit_model.h"

namespace quorvel {
namespace {

using T = EqFilterType;
constexpr double kNullHz = 700.0;

EqTrace Room() {
  const std::vector<EqFilter> room = {
      {T::kPeaking, 45.0, 8.0, 5.0},    {T::kPeaking, 110.0, 6.0, 3.0},
      {T::kPeaking, 300.0, 5.0, 2.0},   {T::kPeaking, 1200.0, 4.0, 1.5},
      {T::kPeaking, 4000.0, 3.5, 2.0},  {T::kPeaking, 70.0, -5.0, 3.0},
      {T::kPeaking, 2500.0, -4.0, 1.5}, {T::kPeaking, kNullHz, -25.0, 12.0}};
  EqTrace trace;
  for (int k = 0; k <= 480; ++k) {
    trace.frequenciesHz.push_back(20.0 * std::pow(1000.0, k / 480.0));
    trace.levelsDb.push_back(CascadeGainDb(room, trace.frequenciesHz.back()));
  }
  return trace;
}

bool InDip(const EqFitResult& r, double hz) {
  for (const EqDip& dip : r.dipsLeftAlone) {
    if (hz >= dip.lowHz && hz <= dip.highHz) return true;
  }
  return false;
}

// Every filter within the limits and on the written steps; the preamp keeps the largest
// gain at or below 0 dB.
void ExpectWritable(const EqFitResult& r, const EqFitOptions& o) {
  ASSERT_EQ(r.error, "");
  for (const EqFilter& f : r.filterSet.filters) {
    EXPECT_GE(f.frequencyHz, o.matchLowHz);
    EXPECT_LE(f.frequencyHz, o.matchHighHz);
    EXPECT_NEAR(f.frequencyHz * 10.0, std::round(f.frequencyHz * 10.0), 1e-6);
    EXPECT_NEAR(f.gainDb * 10.0, std::round(f.gainDb * 10.0), 1e-6);
    EXPECT_GE(f.gainDb, -o.maxCutDb);
    EXPECT_LE(f.gainDb, o.maxBoostDb);
    if (f.type == T::kPeaking) {
      EXPECT_NEAR(f.q * 1000.0, std::round(f.q * 1000.0), 1e-6);
      EXPECT_GE(f.q, o.minQ);
      EXPECT_LE(f.q, o.maxQ);
    }
  }
  EXPECT_LE(r.filterSet.preampDb, 0.0);
  EXPECT_LE(LargestGainDb(r.filterSet.filters) + r.filterSet.preampDb, 1e-9);
  EXPECT_GT(LargestGainDb(r.filterSet.filters) + r.filterSet.preampDb, -0.1001);
}

TEST(EqFit, CutOnlyTakesThePeaksDownAndBoostsNothing) {
  const EqFitOptions options;
  const EqFitResult r = FitEqualiser(Room(), EqTarget{}, options);
  ExpectWritable(r, options);
  EXPECT_GE(r.filterSet.filters.size(), 5u);
  EXPECT_EQ(r.filterSet.preampDb, 0.0);
  double before = 0.0, after = 0.0;
  for (size_t j = 0; j < r.gridHz.size(); ++j) {
    const double was = r.smoothedTraceDb[j] - r.targetDb[j];
    const double is = r.smoothedPredictionDb[j] - r.targetDb[j];
    if (was > 3.0) {
      EXPECT_LT(is, 1.5) << r.gridHz[j] << " Hz";
    }
    EXPECT_LE(CascadeGainDb(r.filterSet.filters, r.gridHz[j]), 1e-9);
    before += was > 0.0 ? was * was : 0.0;
    after += is > 0.0 ? is * is : 0.0;
  }
  EXPECT_LT(std::sqrt(after), 0.3 * std::sqrt(before));
}

TEST(EqFit, WithBoostsItMatchesTheTargetAndLeavesTheNullAlone) {
  EqFitOptions options;
  options.maxBoostDb = 6.0;
  const EqFitResult r = FitEqualiser(Room(), EqTarget{}, options);
  ExpectWritable(r, options);
  ASSERT_EQ(r.dipsLeftAlone.size(), 1u);
  EXPECT_TRUE(InDip(r, kNullHz));
  EXPECT_LT(std::fabs(CascadeGainDb(r.filterSet.filters, kNullHz)), 1.0);
  double sum = 0.0, count = 0.0;
  for (size_t j = 0; j < r.gridHz.size(); ++j) {
    if (InDip(r, r.gridHz[j])) continue;
    const double is = r.smoothedPredictionDb[j] - r.targetDb[j];
    sum += is * is;
    count += 1.0;
  }
  EXPECT_LT(std::sqrt(sum / count), 1.5);
  EXPECT_NEAR(r.residualRmsOutsideDipsDb, std::sqrt(sum / count), 1e-9);
  EXPECT_LT(r.filterSet.preampDb, -3.0);
}

TEST(EqFit, GradientIsTheErrorsSlope) {
  EqFitProblem problem;
  for (int j = 0; j <= 200; ++j) {
    problem.gridHz.push_back(30.0 * std::pow(333.0, j / 200.0));
    problem.wantedDb.push_back(3.0 * std::sin(j / 17.0));
  }
  problem.leftAlone.assign(problem.gridHz.size(), 0);
  problem.maxBoostDb = 2.0;
  PrepareGrid(&problem);
  const std::vector<EqFilter> filters = {{T::kPeaking, 400.0, 4.0, 2.0},
                                         {T::kLowShelf, 90.0, -3.0, kShelfQ},
                                         {T::kHighShelf, 3000.0, 2.5, kShelfQ}};
  const std::vector<double> gradient = FitErrorGradient(problem, filters);
  for (size_t i = 0; i < filters.size(); ++i) {
    for (size_t k = 0; k < (filters[i].type == T::kPeaking ? 3u : 2u); ++k) {
      const double h = 1e-6;
      std::vector<EqFilter> up = filters, down = filters;
      double* upValue[] = {&up[i].frequencyHz, &up[i].gainDb, &up[i].q};
      double* downValue[] = {&down[i].frequencyHz, &down[i].gainDb, &down[i].q};
      // The fit's coordinates: log2 frequency, dB, log2 Q.
      *upValue[k] = k == 1 ? *upValue[k] + h : *upValue[k] * std::exp2(h);
      *downValue[k] = k == 1 ? *downValue[k] - h : *downValue[k] * std::exp2(-h);
      const double slope = (FitErrorDb2(problem, up) - FitErrorDb2(problem, down)) / (2.0 * h);
      EXPECT_NEAR(gradient[i * 3 + k], slope, 1e-5 * (1.0 + std::fabs(slope))) << i << k;
    }
  }
}

TEST(EqFit, RefusesTracesAndOptionsItCannotUse) {
  EqTrace shortTrace = Room(), nanTrace = Room(), unordered = Room();
  shortTrace.frequenciesHz.resize(300);
  shortTrace.levelsDb.resize(300);
  nanTrace.levelsDb[10] = NAN;
  std::swap(unordered.frequenciesHz[3], unordered.frequenciesHz[4]);
  for (const EqTrace& bad : {shortTrace, nanTrace, unordered, EqTrace{}}) {
    EXPECT_NE(FitEqualiser(bad, EqTarget{}, EqFitOptions{}).error, "");
  }
  EqFitOptions boost, filters, range, q;
  boost.maxBoostDb = 7.0;
  filters.peakingFilters = 21;
  range.matchHighHz = 50.0;
  q.maxQ = 12.0;
  for (const EqFitOptions& bad : {boost, filters, range, q}) {
    EXPECT_NE(FitEqualiser(Room(), EqTarget{}, bad).error, "");
  }
}

}  // namespace
}  // namespace quorvel

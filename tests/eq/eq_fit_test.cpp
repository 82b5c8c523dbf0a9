// The fit against analytic rooms: known peaks, broad dips and a deep narrow null, 1/48 octave.
#include "eq/eq_fit.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "eq/eq_fit_model.h"

namespace quorvel {
namespace {

using T = EqFilterType;
constexpr double kNullHz = 700.0;

EqTrace Room(const std::vector<EqFilter>& room = {{T::kPeaking, 45.0, 8.0, 5.0},
                                                  {T::kPeaking, 110.0, 6.0, 3.0},
                                                  {T::kPeaking, 300.0, 5.0, 2.0},
                                                  {T::kPeaking, 1200.0, 4.0, 1.5},
                                                  {T::kPeaking, 4000.0, 3.5, 2.0},
                                                  {T::kPeaking, 70.0, -5.0, 3.0},
                                                  {T::kPeaking, 2500.0, -4.0, 1.5},
                                                  {T::kPeaking, kNullHz, -25.0, 12.0}}) {
  EqTrace trace;
  for (int k = 0; k <= 480; ++k) {
    trace.frequenciesHz.push_back(20.0 * std::pow(1000.0, k / 480.0));
    trace.levelsDb.push_back(CascadeGainDb(room, trace.frequenciesHz.back()));
  }
  return trace;
}

// Every filter within the limits and on the written steps; the preamp keeps the largest
// gain at or below 0 dB.
void ExpectWritable(const EqFitResult& r, const EqFitOptions& o) {
  ASSERT_EQ(r.error, "");
  const auto onStep = [](double value, double step) {
    return std::fabs(value / step - std::round(value / step)) < 1e-6;
  };
  for (const EqFilter& f : r.filterSet.filters) {
    EXPECT_TRUE(f.frequencyHz >= o.matchLowHz && f.frequencyHz <= o.matchHighHz);
    EXPECT_TRUE(f.gainDb >= -o.maxCutDb && f.gainDb <= o.maxBoostDb);
    EXPECT_TRUE(onStep(f.frequencyHz, 0.1) && onStep(f.gainDb, 0.1));
    EXPECT_TRUE(f.type != T::kPeaking || (f.q >= o.minQ && f.q <= o.maxQ && onStep(f.q, 0.001)));
  }
  const double peakDb = LargestGainDb(r.filterSet.filters) + r.filterSet.preampDb;
  EXPECT_LE(r.filterSet.preampDb, 0.0);
  EXPECT_TRUE(peakDb <= 1e-9 && (peakDb > -0.1001 || r.filterSet.preampDb == 0.0)) << peakDb;
}

// Against a flat target and a house curve (6 dB of bass below 100 Hz, -1 dB per decade).
TEST(EqFit, CutOnlyTakesThePeaksDownAndBoostsNothing) {
  const EqFitOptions options;
  for (const EqTarget& target :
       {EqTarget{}, EqTarget{EqTargetKind::kHouseCurve, 6.0, 100.0, -1.0, {}}}) {
    const EqFitResult r = FitEqualiser(Room(), target, options);
    ExpectWritable(r, options);
    double before = 0.0, after = 0.0;
    for (size_t j = 0; j < r.gridHz.size(); ++j) {
      const double was = r.smoothedTraceDb[j] - r.targetDb[j];
      const double is = r.smoothedPredictionDb[j] - r.targetDb[j];
      if (was > 3.0) {
        EXPECT_LT(is, 1.5) << r.gridHz[j] << " Hz, target " << static_cast<int>(target.kind);
      }
      EXPECT_LE(CascadeGainDb(r.filterSet.filters, r.gridHz[j]), 1e-9);
      before += was > 0.0 ? was * was : 0.0;
      after += is > 0.0 ? is * is : 0.0;
    }
    EXPECT_LT(std::sqrt(after), 0.3 * std::sqrt(before)) << static_cast<int>(target.kind);
  }
}

TEST(EqFit, WithBoostsItMatchesTheTargetAndLeavesTheNullAlone) {
  EqFitOptions options;
  options.maxBoostDb = 6.0;
  const EqFitResult r = FitEqualiser(Room(), EqTarget{}, options);
  ExpectWritable(r, options);
  // The null alone is left alone: the equaliser does nothing there.
  ASSERT_EQ(r.dipsLeftAlone.size(), 1u);
  EXPECT_TRUE(r.dipsLeftAlone[0].lowHz < kNullHz && r.dipsLeftAlone[0].highHz > kNullHz);
  EXPECT_LT(std::fabs(CascadeGainDb(r.filterSet.filters, kNullHz)), 1.0);
  EXPECT_LT(r.residualRmsOutsideDipsDb, 1.5);
  EXPECT_LT(r.filterSet.preampDb, -3.0);
}

// A speaker whose bass stands 5 dB up and whose treble falls 4 dB gets a shelf at each end.
TEST(EqFit, ShelvesTakeTheStepsAtTheEndsOfTheRange) {
  EqFitOptions options;
  options.maxBoostDb = 6.0;
  const EqFitResult r = FitEqualiser(
      Room({{T::kLowShelf, 80.0, 5.0, kShelfQ}, {T::kHighShelf, 5000.0, -4.0, kShelfQ}}),
      EqTarget{}, options);
  ExpectWritable(r, options);
  ASSERT_GE(r.filterSet.filters.size(), 2u);
  EXPECT_EQ(r.filterSet.filters.front().type, T::kLowShelf);
  EXPECT_LT(r.filterSet.filters.front().gainDb, -3.0);
  EXPECT_EQ(r.filterSet.filters.back().type, T::kHighShelf);
  EXPECT_GT(r.filterSet.filters.back().gainDb, 2.0);
  EXPECT_LT(r.residualRmsDb, 0.5);
}

TEST(EqFit, GradientIsTheErrorsSlope) {
  EqFitProblem problem;
  for (int j = 0; j <= 200; ++j) {
    problem.gridHz.push_back(30.0 * std::pow(333.0, j / 200.0));
    problem.wantedDb.push_back(3.0 * std::sin(j / 17.0));
  }
  problem.maxBoostDb = 2.0;
  PrepareGrid(&problem);
  const std::vector<EqFilter> filters = {{T::kPeaking, 400.0, 4.0, 2.0},
                                         {T::kLowShelf, 90.0, -3.0, kShelfQ},
                                         {T::kHighShelf, 3000.0, 2.5, kShelfQ}};
  const std::vector<double> gradient = FitErrorGradient(problem, filters);
  // In the fit's coordinates: log2 frequency, dB, log2 Q.
  const auto moved = [&](size_t i, size_t k, double h) {
    std::vector<EqFilter> f = filters;
    double* value[] = {&f[i].frequencyHz, &f[i].gainDb, &f[i].q};
    *value[k] = k == 1 ? *value[k] + h : *value[k] * std::exp2(h);
    return FitErrorDb2(problem, f);
  };
  for (size_t i = 0; i < filters.size(); ++i) {
    for (size_t k = 0; k < (filters[i].type == T::kPeaking ? 3u : 2u); ++k) {
      const double slope = (moved(i, k, 1e-6) - moved(i, k, -1e-6)) / 2e-6;
      EXPECT_NEAR(gradient[i * 3 + k], slope, 1e-5 * (1.0 + std::fabs(slope))) << i << k;
    }
  }
}

TEST(EqFit, RefusesTracesAndOptionsItCannotUse) {
  std::vector<EqTrace> bad(4, Room());
  bad[0].frequenciesHz.resize(300);  // does not reach 10 kHz
  bad[0].levelsDb.resize(300);
  bad[1].levelsDb[10] = 1e6;  // NaN and levels past +-1000 dB alike
  std::swap(bad[2].frequenciesHz[3], bad[2].frequenciesHz[4]);
  bad[3] = EqTrace{};
  for (const EqTrace& trace : bad) EXPECT_NE(FitEqualiser(trace, {}, {}).error, "");
  const auto with = [](auto set) {
    EqFitOptions o;
    set(&o);
    return FitEqualiser(Room(), {}, o).error;
  };
  EXPECT_NE(with([](EqFitOptions* o) { o->maxBoostDb = 7.0; }), "");
  EXPECT_NE(with([](EqFitOptions* o) { o->peakingFilters = 21; }), "");
  EXPECT_NE(with([](EqFitOptions* o) { o->matchHighHz = 50.0; }), "");
  EXPECT_NE(with([](EqFitOptions* o) { o->maxQ = 12.0; }), "");
}

}  // namespace
}  // namespace quorvel

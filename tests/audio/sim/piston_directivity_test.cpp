// The simulated loudspeaker's direction: the piston's directivity against tabulated Bessel
// values, its filter against the formula, and a model on axis that is exactly the one without a
// direction.
#include "audio/sim/piston_directivity.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "audio/sim/loudspeaker_model.h"

namespace quorvel {

namespace {

constexpr double kPi = 3.14159265358979323846;

// The frequency at which k a sin(angle) is x.
double FrequencyOf(double x, double angleDeg) {
  return x * kSpeedOfSoundMps / (2.0 * kPi * kPistonRadiusM * std::sin(angleDeg * kPi / 180.0));
}

TEST(PistonDirectivity, IsTwoJ1OfXOverX) {
  // J1 from tables: J1(1), J1(2), J1(5), and its first zero
  const struct {
    double x, j1, angleDeg;
  } cases[] = {{1.0, 0.4400505857449335, 90.0},  {2.0, 0.5767248077568734, 30.0},
               {5.0, -0.3275791375914652, 60.0}, {3.8317059702075123, 0.0, 45.0},
               {2.0, 0.5767248077568734, -30.0},   // either side of the axis
               {2.0, 0.5767248077568734, 150.0}};  // mirrored behind the baffle
  for (const auto& c : cases) {
    EXPECT_NEAR(PistonDirectivity(FrequencyOf(c.x, c.angleDeg), c.angleDeg), 2.0 * c.j1 / c.x,
                1e-12)
        << c.x << " at " << c.angleDeg;
  }
  EXPECT_EQ(PistonDirectivity(10000.0, 0.0) * PistonDirectivity(0.0, 60.0), 1.0);
}

TEST(PistonDirectivity, FilterFollowsTheFormulaAndKeepsTheTiming) {
  for (const double angle : {15.0, 30.0, 60.0, 90.0}) {
    const PistonFir fir = DesignPistonFir(angle, 48000.0);
    ASSERT_FALSE(fir.onAxis);
    double worst = 0.0;
    for (double f = 0.0; f <= 20000.0; f += 50.0) {
      double h = fir.taps[0];
      for (int n = 1; n <= PistonFir::kHalfLength; ++n) {
        h += 2.0 * fir.taps[static_cast<size_t>(n)] * std::cos(2.0 * kPi * f * n / 48000.0);
      }
      worst = std::max(worst, std::abs(h - PistonDirectivity(f, angle)));
    }
    EXPECT_LT(worst, 5e-4) << angle;
  }
  EXPECT_TRUE(DesignPistonFir(0.0, 48000.0).onAxis);
  EXPECT_TRUE(DesignPistonFir(180.0, 48000.0).onAxis);

  // On axis the model is the one without a direction, sample for sample; off axis it is that
  // model's output through the zero-phase filter, on the same time axis.
  using M = CLoudspeakerModel;
  CBiquad high = CBiquad::HighPass(M::kHighPassHz, M::kHighPassQ, M::kRate);
  CBiquad peak = CBiquad::Peak(M::kPeakHz, M::kPeakQ, M::kPeakGainDb, M::kRate);
  CBiquad low = CBiquad::LowPass(M::kLowPassHz, M::kLowPassQ, M::kRate);
  M onAxis(false), offAxis(false, 1u, 60.0);
  std::vector<double> input(6000), on, off;
  for (size_t n = 0; n < input.size(); ++n)
    input[n] = std::sin(1e-4 * static_cast<double>(n * n));  // up to 9 kHz
  for (size_t n = 0; n < input.size(); ++n) {
    const double delayed = n >= M::kDelaySamples ? input[n - M::kDelaySamples] : 0.0;
    const double bare =
        low.Process(peak.Process(high.Process(delayed))) * std::pow(10.0, M::kLevelDb / 20.0);
    on.push_back(onAxis.Process(input[n]));
    ASSERT_EQ(on.back(), bare) << n;
    off.push_back(offAxis.Process(input[n]));
  }
  const PistonFir fir = DesignPistonFir(60.0, M::kRate);
  const auto at = [&on](long n) { return n >= 0 && n < 6000 ? on[static_cast<size_t>(n)] : 0.0; };
  for (long n = 0; n + PistonFir::kHalfLength < 6000; ++n) {
    double expected = fir.taps[0] * at(n);
    for (long m = 1; m <= PistonFir::kHalfLength; ++m) {
      expected += fir.taps[static_cast<size_t>(m)] * (at(n - m) + at(n + m));
    }
    ASSERT_NEAR(off[static_cast<size_t>(n)], expected, 1e-12) << n;
  }
}

}  // namespace

}  // namespace quorvel

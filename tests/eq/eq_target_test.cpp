// The targets' shapes and the rules a target must keep.
#include "eq/eq_target.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace quorvel {
namespace {

// A house curve has all of its rise far below the corner, half at it and none far above,
// tilted about 1 kHz; a curve of points runs linearly in log frequency and is held beyond.
TEST(EqTarget, ShapesOfTheHouseCurveAndOfPoints) {
  const EqTarget house{EqTargetKind::kHouseCurve, 6.0, 100.0, -1.0, {}};
  const EqTarget points{EqTargetKind::kPoints, 0, 0, 0, {{20.0, 4.0}, {80.0, 0.0}, {2e4, -2.0}}};
  EXPECT_TRUE(CheckTarget(house).empty() && CheckTarget(points).empty());
  const std::vector<double> houseDb = TargetShapeDb(house, std::vector<double>{10, 100, 1e3, 1e4});
  const std::vector<double> wanted = {6.0 + 2.0, 3.0 + 1.0, 0.0, -1.0};
  for (size_t i = 0; i < wanted.size(); ++i) EXPECT_NEAR(houseDb[i], wanted[i], 0.05) << i;
  const std::vector<double> pointsDb = TargetShapeDb(points, std::vector<double>{40.0, 22000.0});
  EXPECT_NEAR(pointsDb[0], 2.0, 1e-9);
  EXPECT_NEAR(pointsDb[1], -2.0, 1e-9);
}

TEST(EqTarget, RefusesTargetsThatCannotBeUsed) {
  using P = std::vector<EqTargetPoint>;
  const auto house = [](double rise, double corner, double tilt) {
    return EqTarget{EqTargetKind::kHouseCurve, rise, corner, tilt, {}};
  };
  for (const EqTarget& bad :
       {EqTarget{EqTargetKind::kPoints, 0, 0, 0, P{{100.0, 0.0}}},
        EqTarget{EqTargetKind::kPoints, 0, 0, 0, P{{100.0, 0.0}, {50.0, 1.0}}},
        house(6.0, 5.0, 0.0), house(30.0, 100.0, 0.0), house(6.0, 100.0, INFINITY)}) {
    EXPECT_NE(CheckTarget(bad), "");
  }
}

}  // namespace
}  // namespace quorvel

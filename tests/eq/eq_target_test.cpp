// The targets' shapes and the rules a target must keep.
#include "eq/eq_target.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace quorvel {
namespace {

TEST(EqTarget, HouseCurveRisesBelowItsCornerAndTilts) {
  EqTarget house;
  house.kind = EqTargetKind::kHouseCurve;
  house.bassRiseDb = 6.0;
  house.bassCornerHz = 100.0;
  house.tiltDbPerDecade = -1.0;
  const std::vector<double> hz = {10.0, 100.0, 1000.0, 10000.0};
  const std::vector<double> shape = TargetShapeDb(house, hz);
  // All of the rise far below the corner, half at it, none far above; the tilt pivots at 1 kHz.
  EXPECT_NEAR(shape[0], 6.0 + 2.0, 0.05);
  EXPECT_NEAR(shape[1], 3.0 + 1.0, 0.01);
  EXPECT_NEAR(shape[2], 0.0, 0.01);
  EXPECT_NEAR(shape[3], -1.0, 0.01);
  EqTarget points;
  points.kind = EqTargetKind::kPoints;
  points.points = {{20.0, 4.0}, {80.0, 0.0}, {20000.0, -2.0}};
  EXPECT_NEAR(TargetShapeDb(points, std::vector<double>{40.0})[0], 2.0, 1e-9);
  EXPECT_NEAR(TargetShapeDb(points, std::vector<double>{22000.0})[0], -2.0, 1e-9);
  EXPECT_EQ(CheckTarget(house), "");
  EXPECT_EQ(CheckTarget(points), "");
}

TEST(EqTarget, RefusesTargetsThatCannotBeUsed) {
  const auto points = [](std::vector<EqTargetPoint> p) {
    EqTarget t;
    t.kind = EqTargetKind::kPoints;
    t.points = std::move(p);
    return t;
  };
  const auto house = [](double rise, double corner, double tilt) {
    return EqTarget{EqTargetKind::kHouseCurve, rise, corner, tilt, {}};
  };
  for (const EqTarget& bad :
       {points({{100.0, 0.0}}), points({{100.0, 0.0}, {50.0, 1.0}}),
        points({{100.0, 0.0}, {200.0, NAN}}), points({{-1.0, 0.0}, {200.0, 0.0}}),
        house(6.0, 5.0, 0.0), house(30.0, 100.0, 0.0), house(6.0, 100.0, INFINITY)}) {
    EXPECT_NE(CheckTarget(bad), "");
  }
}

}  // namespace
}  // namespace quorvel

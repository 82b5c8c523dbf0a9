#include "eq/eq_target.h"

#include <cmath>

#include "eq/biquad.h"
#include "measurement/octave_smoothing.h"

namespace quorvel {

namespace {

// The frequency the tilt pivots on; the fit moves the whole target anyway. [Hz]
constexpr double kTiltPivotHz = 1000.0;
// The limits a house curve's numbers must keep. [Hz, dB, dB per decade]
constexpr double kLowestCornerHz = 10.0;
constexpr double kHighestCornerHz = 20000.0;
constexpr double kLargestRiseDb = 20.0;
constexpr double kLargestTiltDbPerDecade = 12.0;

}  // namespace

std::string CheckTarget(const EqTarget& target) {
  switch (target.kind) {
    case EqTargetKind::kFlat:
      return std::string();
    case EqTargetKind::kHouseCurve:
      if (!std::isfinite(target.bassCornerHz) || target.bassCornerHz < kLowestCornerHz ||
          target.bassCornerHz > kHighestCornerHz) {
        return "the bass corner must lie between 10 and 20000 Hz";
      }
      if (!std::isfinite(target.bassRiseDb) || std::fabs(target.bassRiseDb) > kLargestRiseDb) {
        return "the bass rise must lie between -20 and 20 dB";
      }
      if (!std::isfinite(target.tiltDbPerDecade) ||
          std::fabs(target.tiltDbPerDecade) > kLargestTiltDbPerDecade) {
        return "the tilt must lie between -12 and 12 dB per decade";
      }
      return std::string();
    case EqTargetKind::kPoints:
      break;
  }
  if (target.points.size() < 2) return "the target curve needs at least two points";
  for (size_t i = 0; i < target.points.size(); ++i) {
    const EqTargetPoint& point = target.points[i];
    if (!std::isfinite(point.frequencyHz) || point.frequencyHz <= 0.0 ||
        !std::isfinite(point.levelDb)) {
      return "the target curve holds a point that is not a positive frequency and a level";
    }
    if (i > 0 && point.frequencyHz <= target.points[i - 1].frequencyHz) {
      return "the target curve's frequencies must increase";
    }
  }
  return std::string();
}

std::vector<double> TargetShapeDb(const EqTarget& target, std::span<const double> frequenciesHz) {
  std::vector<double> shape(frequenciesHz.size(), 0.0);
  if (target.kind == EqTargetKind::kHouseCurve) {
    const EqFilter rise{EqFilterType::kLowShelf, target.bassCornerHz, target.bassRiseDb, kShelfQ};
    for (size_t i = 0; i < shape.size(); ++i) {
      shape[i] = FilterGainDb(rise, frequenciesHz[i]) +
                 target.tiltDbPerDecade * std::log10(frequenciesHz[i] / kTiltPivotHz);
    }
  } else if (target.kind == EqTargetKind::kPoints) {
    std::vector<double> pointHz, pointDb;
    for (const EqTargetPoint& point : target.points) {
      pointHz.push_back(point.frequencyHz);
      pointDb.push_back(point.levelDb);
    }
    for (size_t i = 0; i < shape.size(); ++i) {
      shape[i] = InterpolateLogFrequencyDb(pointHz, pointDb, frequenciesHz[i]);
    }
  }
  return shape;
}

}  // namespace quorvel

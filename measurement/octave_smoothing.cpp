#include "measurement/octave_smoothing.h"

#include <algorithm>
#include <cmath>

namespace quorvel {

namespace {

// The integration grid's resolution: fine enough that a 1/48-octave band still spans several
// steps. [points per octave]
constexpr double kGridPointsPerOctave = 192.0;

}  // namespace

double InterpolateLogFrequencyDb(std::span<const double> frequenciesHz,
                                 std::span<const double> levelsDb, double frequencyHz) {
  if (frequencyHz <= frequenciesHz.front()) return levelsDb.front();
  if (frequencyHz >= frequenciesHz.back()) return levelsDb.back();
  const auto upper = std::upper_bound(frequenciesHz.begin(), frequenciesHz.end(), frequencyHz);
  const size_t i = static_cast<size_t>(upper - frequenciesHz.begin());
  const double t = std::log(frequencyHz / frequenciesHz[i - 1]) /
                   std::log(frequenciesHz[i] / frequenciesHz[i - 1]);
  return levelsDb[i - 1] + t * (levelsDb[i] - levelsDb[i - 1]);
}

std::vector<double> SmoothFractionalOctaveDb(std::span<const double> frequenciesHz,
                                             std::span<const double> levelsDb,
                                             double bandsPerOctave, std::span<const double> atHz) {
  // The trace on a log grid over its whole range, as powers, with the running integral (by
  // trapezoids, in grid steps) so that each band's average is one difference.
  const double lowHz = frequenciesHz.front();
  const double octaves = std::log2(frequenciesHz.back() / lowHz);
  const size_t points = static_cast<size_t>(std::ceil(octaves * kGridPointsPerOctave)) + 1;
  const double step = octaves / static_cast<double>(points - 1);  // [octaves]
  std::vector<double> power(points), integral(points, 0.0);
  for (size_t k = 0; k < points; ++k) {
    const double f = lowHz * std::exp2(step * static_cast<double>(k));
    power[k] = std::pow(10.0, InterpolateLogFrequencyDb(frequenciesHz, levelsDb, f) / 10.0);
    if (k > 0) integral[k] = integral[k - 1] + 0.5 * (power[k - 1] + power[k]);
  }
  // The integral up to a fractional grid position x within the grid.
  const auto last = static_cast<double>(points - 1);
  auto integralAt = [&](double x) {
    const auto k = static_cast<size_t>(std::min(std::floor(x), last - 1.0));
    const double t = x - static_cast<double>(k);
    const double p = power[k] + t * (power[k + 1] - power[k]);
    return integral[k] + 0.5 * t * (power[k] + p);
  };
  const double half = 0.5 / bandsPerOctave / step;  // [grid steps]
  std::vector<double> smoothed;
  smoothed.reserve(atHz.size());
  for (const double f : atHz) {
    const double centre = std::clamp(std::log2(f / lowHz) / step, 0.0, last);
    const double from = std::max(centre - half, 0.0);
    const double to = std::min(centre + half, last);
    const double mean = to - from > 1e-9 ? (integralAt(to) - integralAt(from)) / (to - from)
                                         : power[static_cast<size_t>(std::lround(centre))];
    smoothed.push_back(10.0 * std::log10(mean));
  }
  return smoothed;
}

}  // namespace quorvel

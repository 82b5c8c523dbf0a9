#pragma once

#include <cmath>

namespace quorvel {

// Frequency of entry k of a logarithmic grid of `steps` steps from fmin to fmax [Hz]:
// fmin*(fmax/fmin)^(k/steps) (a measured curve's grid has 1000 steps, a resampled chart's its
// own).
[[nodiscard]] inline double GridFrequency(int k, double fmin, double fmax, int steps) {
  return fmin * std::pow(fmax / fmin, static_cast<double>(k) / steps);
}

// Frequency of point k of a curve measured from fmin to fmax [Hz]: the sweep spends exactly one
// 960-frame analysis block per thousandth of its range, so point k sits at
// fmin*(fmax/fmin)^(k/1000). Every place that names a point's frequency (curve CSV, progress
// lines, the marker, the displayed range) asks this function.
[[nodiscard]] inline double PointFrequency(int k, double fmin, double fmax) {
  return GridFrequency(k, fmin, fmax, 1000);
}

}  // namespace quorvel

#pragma once

#include <cmath>

namespace quorvel {

// Frequency of point k of a curve measured from fmin to fmax [Hz]: the sweep spends exactly one
// 960-frame analysis block per thousandth of its range, so point k sits at
// fmin*(fmax/fmin)^(k/1000). Every place that names a point's frequency (curve CSV, progress
// lines, the marker, the displayed range) asks this function.
[[nodiscard]] inline double PointFrequency(int k, double fmin, double fmax) {
  return fmin * std::pow(fmax / fmin, static_cast<double>(k) / 1000.0);
}

}  // namespace quorvel

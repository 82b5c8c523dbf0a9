// The views' colours: Okabe and Ito's palette and the level scale.
#include "graph/plot_colours.h"

#include <algorithm>
#include <cmath>

namespace quorvel {

namespace {

constexpr QRgb kSeries[8] = {0xff000000, 0xffe69f00, 0xff56b4e9, 0xff009e73,
                             0xfff0e442, 0xff0072b2, 0xffd55e00, 0xffcc79a7};

// viridis at 0, 1/8, ..., 1
constexpr int kScale[9][3] = {{68, 1, 84},    {71, 44, 122},  {59, 81, 139},
                              {44, 113, 142}, {33, 144, 141}, {39, 173, 129},
                              {92, 200, 99},  {170, 220, 50}, {253, 231, 37}};

}  // namespace

QColor SeriesColour(int index) {
  // yellow (4) reads badly on the graph's cream background: it comes last
  constexpr int kOrder[8] = {0, 6, 5, 3, 1, 7, 2, 4};
  const int i = ((index % 8) + 8) % 8;
  return QColor::fromRgb(kSeries[kOrder[i]]);
}

QColor LevelScaleColour(double t) {
  const double at = std::isfinite(t) ? std::clamp(t, 0.0, 1.0) * 8.0 : 0.0;
  const int i = std::min(7, static_cast<int>(at));
  const double u = at - i;
  const auto mix = [&](int c) {
    return static_cast<int>(std::lround(kScale[i][c] + u * (kScale[i + 1][c] - kScale[i][c])));
  };
  return QColor(mix(0), mix(1), mix(2));
}

}  // namespace quorvel

#include "graph/graph_scales.h"

#include <climits>
#include <cmath>
#include <cstdio>

#include "graph/graphical.h"

namespace quorvel {

int RoundHalfAway(double x) {
  if (std::isnan(x)) return 0;
  if (x >= static_cast<double>(INT_MAX)) return INT_MAX;
  if (x <= static_cast<double>(INT_MIN)) return INT_MIN;
  return static_cast<int>(std::lround(x));  // lround rounds halves away from zero
}

int FrequencyToX(double f, double fmin, double fmax) {
  const double pixelsPerDecade = kPlotWidth / std::log10(fmax / fmin);
  const double offset = std::log10(f / fmin) * pixelsPerDecade + 0.5;
  if (!std::isfinite(offset)) return kPlotLeft;
  return kPlotLeft + static_cast<int>(std::trunc(offset));
}

int LevelToHeightUnclamped(double levelDb) {
  // levels are never range-checked: keep absurd values from overflowing the int, and put a
  // level that is not a number at the x axis like any other level without signal
  if (std::isnan(levelDb)) return kAxisHeight;
  const double clamped = std::fmax(-10000.0, std::fmin(10000.0, levelDb));
  return kZeroDbHeight + RoundHalfAway(kPixelsPerDb * clamped);
}

int LevelToHeight(double levelDb) {
  const int h = LevelToHeightUnclamped(levelDb);
  return h < kAxisHeight ? kAxisHeight : h;
}

bool GridIsDrawable(double fmin, double fmax) {
  // the grid needs at least about one decade
  if (!(fmin >= 0.01)) return false;
  if (fmax / 10.0 + 0.01 < fmin) return false;
  if (10.0 * fmin - 0.01 > fmax) return false;
  return true;
}

int DisplayedCurveIndex(int k, double fmin, double fmax, double curveFmin, double curveFmax) {
  const double f = PointFrequency(k, fmin, fmax);
  const double index = std::log10(f / curveFmin) * kPlotWidth / std::log10(curveFmax / curveFmin);
  const int rounded = RoundHalfAway(index);
  if (rounded < 0) return 0;
  if (rounded > CGraphical::kLastPoint) return CGraphical::kLastPoint;
  return rounded;
}

int BuildFrequencyTicks(double fmin, double fmax, FrequencyTick (&ticks)[kMaxFrequencyTicks]) {
  int count = 0;
  double d = fmin / 10.0;
  for (int decade = 0; decade < 4; ++decade) {
    d *= 10.0;
    if (fmax + 0.001 < d) break;
    ticks[count++] = FrequencyTick{d, FrequencyToX(d, fmin, fmax), true, true};
    for (int j = 2; j <= 10; ++j) {
      const double r = d * j;
      if (fmax + 0.001 < r) break;
      const bool labelled = j <= 5 || j == 7 || j == 10;
      ticks[count++] = FrequencyTick{r, FrequencyToX(r, fmin, fmax), false, labelled};
    }
  }
  return count;
}

int BuildDecadeLines(double fmin, double fmax, int (&xs)[kMaxDecadeLines]) {
  int count = 0;
  double o = fmin;
  for (int i = 0; i < 5; ++i) {  // Fmin itself is the y axis: no line there
    if (fmax + 0.001 < o) break;
    if (i > 0) xs[count++] = FrequencyToX(o, fmin, fmax);
    o *= 10.0;
  }
  return count;
}

}  // namespace quorvel

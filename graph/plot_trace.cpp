// Reading the workbench's traces: a value between two points, and what the visible ones span.
#include "graph/plot_trace.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace quorvel {

namespace {

// Calls visit(frequency, level) for every finite level of a visible trace with a usable size.
template <typename Visit>
void ForEachVisibleLevel(std::span<const PlotTrace> traces, const Visit& visit) {
  for (const PlotTrace& trace : traces) {
    if (!trace.visible || trace.levelsDb.size() != trace.frequenciesHz.size()) continue;
    for (size_t i = 0; i < trace.levelsDb.size(); ++i) {
      const double f = trace.frequenciesHz[i];
      const double level = trace.levelsDb[i];
      if (std::isfinite(level) && std::isfinite(f) && f > 0.0) visit(f, level);
    }
  }
}

}  // namespace

double ValueAtFrequency(std::span<const double> frequenciesHz, std::span<const double> values,
                        double f) {
  if (frequenciesHz.size() != values.size() || frequenciesHz.empty() || !(f > 0.0)) return NAN;
  const auto above = std::lower_bound(frequenciesHz.begin(), frequenciesHz.end(), f);
  if (above == frequenciesHz.end()) return NAN;
  const size_t i = static_cast<size_t>(above - frequenciesHz.begin());
  if (*above == f) return values[i];
  if (i == 0) return NAN;
  const double f0 = frequenciesHz[i - 1];
  const double f1 = frequenciesHz[i];
  if (!(f0 > 0.0)) return NAN;
  const double t = std::log(f / f0) / std::log(f1 / f0);
  return values[i - 1] + t * (values[i] - values[i - 1]);  // NaN when either is not finite
}

double TraceLevelAt(const PlotTrace& trace, double f) {
  return ValueAtFrequency(trace.frequenciesHz, trace.levelsDb, f);
}

TraceExtent VisibleExtent(std::span<const PlotTrace> traces, double lowHz, double highHz) {
  TraceExtent extent;
  ForEachVisibleLevel(traces, [&](double f, double level) {
    if (!extent.hasFrequency) {
      extent.lowHz = extent.highHz = f;
      extent.hasFrequency = true;
    }
    extent.lowHz = std::min(extent.lowHz, f);
    extent.highHz = std::max(extent.highHz, f);
    if (f < lowHz || f > highHz) return;
    if (!extent.hasLevel) {
      extent.lowDb = extent.highDb = level;
      extent.hasLevel = true;
    }
    extent.lowDb = std::min(extent.lowDb, level);
    extent.highDb = std::max(extent.highDb, level);
  });
  return extent;
}

double VisibleMedianLevel(std::span<const PlotTrace> traces, double lowHz, double highHz) {
  std::vector<double> levels;
  ForEachVisibleLevel(traces, [&](double f, double level) {
    if (f >= lowHz && f <= highHz) levels.push_back(level);
  });
  if (levels.empty()) return NAN;
  const auto middle = levels.begin() + static_cast<std::ptrdiff_t>(levels.size() / 2);
  std::nth_element(levels.begin(), middle, levels.end());
  return *middle;
}

}  // namespace quorvel

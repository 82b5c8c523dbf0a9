#pragma once

#include <span>
#include <string>

#include "graph/trace_palette.h"

namespace quorvel {

// One curve of a workbench plot. The values are views into data that its owner (a measurement,
// a derived trace) keeps alive and unchanged while the plot is drawn or read.
struct PlotTrace {
  std::string name;  // UTF-8
  TraceRgb colour;
  TraceLineStyle style = TraceLineStyle::kSolid;
  std::span<const double> frequenciesHz;  // ascending
  std::span<const double> levelsDb;       // one per frequency; one that is not finite is a gap
  std::span<const double> phasesDeg;      // empty, or one per frequency in -180..180
  // Below this frequency the trace is drawn faint (a gated response has no resolution there).
  double validAboveHz = 0.0;
  bool visible = true;
};

// values at frequency f, interpolated linearly over log frequency between the two points around
// it; NaN outside frequenciesHz's range, where a neighbour is not finite, or where the sizes
// disagree. frequenciesHz must be ascending.
[[nodiscard]] double ValueAtFrequency(std::span<const double> frequenciesHz,
                                      std::span<const double> values, double f);

// The trace's level at f [dB] (see ValueAtFrequency).
[[nodiscard]] double TraceLevelAt(const PlotTrace& trace, double f);

// What the visible traces hold: the frequency span of their finite levels, and the levels found
// within lowHz..highHz. Empty (has* false) when no visible trace has a finite level there.
struct TraceExtent {
  bool hasFrequency = false;
  double lowHz = 0.0;
  double highHz = 0.0;
  bool hasLevel = false;
  double lowDb = 0.0;
  double highDb = 0.0;
};
[[nodiscard]] TraceExtent VisibleExtent(std::span<const PlotTrace> traces, double lowHz,
                                        double highHz);

// The median of the visible traces' finite levels within lowHz..highHz; NaN when there is none.
[[nodiscard]] double VisibleMedianLevel(std::span<const PlotTrace> traces, double lowHz,
                                        double highHz);

}  // namespace quorvel

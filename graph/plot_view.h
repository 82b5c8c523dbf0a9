#pragma once

#include <span>

#include "graph/plot_trace.h"

namespace quorvel {

// What a workbench plot shows: a logarithmic frequency axis, a linear level axis and the phase
// axis beside it (used when phase traces are shown), each with its range, and the operations of
// zoom, pan, presets, fit and reset. It never draws (graph/plot_painter.h does) and holds no
// data (the traces are handed to the operations that need them). Every range it holds is finite,
// low < high, within its limits and at least its least span, whatever it is asked: a request
// with a value that is not finite changes nothing.

struct PlotRange {
  double low = 0.0;
  double high = 0.0;
  constexpr bool operator==(const PlotRange&) const = default;
};

// The rectangle the data are drawn in, in logical pixels of the plot's paint device: x grows to
// the right, y downwards; the right edge is left + width, the bottom top + height.
struct PlotArea {
  double left = 0.0;
  double top = 0.0;
  double width = 0.0;
  double height = 0.0;
};

// Which axes a zoom changes: the vertical ones are the level axis and the phase axis together.
enum class PlotAxes { kBoth, kFrequency, kVertical };

class CPlotView {
 public:
  static constexpr double kLowestHz = 1.0;
  static constexpr double kHighestHz = 24000.0;
  static constexpr double kLeastOctaves = 0.1;
  static constexpr double kLevelLimitDb = 300.0;  // levels shown within -300..+300 dB
  static constexpr double kLeastLevelSpanDb = 1.0;
  static constexpr double kMostLevelSpanDb = 200.0;
  static constexpr double kPhaseLimitDeg = 180.0;  // phases shown within -180..+180 degrees
  static constexpr double kLeastPhaseSpanDeg = 5.0;
  static constexpr double kResetLevelSpanDb = 90.0;
  static constexpr double kLevelPresetsDb[] = {90.0, 50.0, 30.0, 15.0};

  // 20 Hz..20 kHz, -90..0 dB (the main graph's view), -180..180 degrees.
  CPlotView();

  [[nodiscard]] PlotRange Frequency() const { return m_frequency; }  // [Hz]
  [[nodiscard]] PlotRange Level() const { return m_level; }          // [dB]
  [[nodiscard]] PlotRange Phase() const { return m_phase; }          // [degrees]

  // Each sets its range: the ends in either order, widened about their middle to the least
  // span, narrowed to the widest and moved inside the limits. False (nothing changed) when an
  // end is not finite (or a frequency not above 0), else whether the range changed.
  bool SetFrequency(double lowHz, double highHz);
  bool SetLevel(double lowDb, double highDb);
  bool SetPhase(double lowDeg, double highDeg);

  // ---- between pixels and values, in the logical pixels of area ----
  [[nodiscard]] double XOfFrequency(const PlotArea& area, double hz) const;
  [[nodiscard]] double FrequencyOfX(const PlotArea& area, double x) const;
  [[nodiscard]] double YOfLevel(const PlotArea& area, double db) const;
  [[nodiscard]] double LevelOfY(const PlotArea& area, double y) const;
  [[nodiscard]] double YOfPhase(const PlotArea& area, double deg) const;
  [[nodiscard]] double PhaseOfY(const PlotArea& area, double y) const;

  // ---- operations; each returns whether the view changed ----

  // Zooms in by factor (> 1; below 1 zooms out) about the pixel (x, y): the values under it
  // stay under it, until a range meets its least span or its limits.
  bool ZoomAt(const PlotArea& area, double x, double y, double factor, PlotAxes axes);
  // Shows the box between two corners (pixels, either order, clipped to the area); a box
  // narrower than kLeastBoxPixels leaves the frequency axis, a lower one the vertical axes.
  static constexpr double kLeastBoxPixels = 5.0;
  bool ZoomToBox(const PlotArea& area, double x0, double y0, double x1, double y1);
  // Moves the view so that the data follow a drag by (dx, dy) pixels: dragging to the right
  // shows lower frequencies, dragging down higher levels. A range stops at its limits.
  bool PanBy(const PlotArea& area, double dx, double dy);
  // The same as a fraction of the spans: +0.1 in x shows a tenth of the span higher
  // frequencies, +0.1 in y a tenth higher levels and phases.
  bool PanByFraction(double fx, double fy);
  // A level span (one of kLevelPresetsDb, or any other) centred on the level the visible traces
  // run at: the median of their levels within the shown frequency range, or the view's centre
  // when none is shown there; the top then falls on a grid line of the new span.
  bool ApplyLevelPreset(double spanDb, std::span<const PlotTrace> traces);
  // Fits both axes to the visible traces: the frequencies their finite levels span, rounded
  // outwards to two significant digits, and those levels with a margin of 5 % of their span
  // (at least 0.5 dB) on each side, rounded outwards to the grid step. The phase axis goes back
  // to -180..180. False (nothing changed) when no visible trace has a finite level.
  bool Fit(std::span<const PlotTrace> traces);
  // The frequencies all visible traces span together (20 Hz..20 kHz with none), a 90 dB level
  // span whose top is the multiple of 10 dB at or above their highest level there (0 dB with
  // none), and -180..180 degrees.
  bool Reset(std::span<const PlotTrace> traces);

 private:
  PlotRange m_frequency;
  PlotRange m_level;
  PlotRange m_phase;
};

}  // namespace quorvel

#pragma once

#include <span>

#include "graph/plot_trace.h"
#include "graph/plot_view.h"

namespace quorvel {

// What a plot widget's mouse and keyboard do to its CPlotView. The widget (user-interface
// thread) calls these from its event handlers with the plot area the painter lays out
// (LayoutPlot in graph/plot_painter.h) and repaints when they return true. Suggested gestures:
// the wheel zooms both axes, with Ctrl the frequency axis only and with Shift the vertical axes
// only (AxesForModifiers); a left-button drag draws the zoom box (the widget hands it to the
// painter while it moves, and to DragZoomBox on release); a middle-button or
// Ctrl+left-button drag pans (DragPan with each move's step); a move without a button sets the
// cursor (CursorFrequencyAt).

// Qt's angle delta of one notch of a mouse wheel (eighths of a degree).
inline constexpr int kWheelNotch = 120;
// Each notch away from the user narrows the zoomed spans by this factor; towards, widens them.
inline constexpr double kZoomPerNotch = 1.25;
// An arrow key moves the view by this fraction of its span.
inline constexpr double kKeyPanFraction = 0.1;

enum class PlotKey {
  kLeft,     // lower frequencies
  kRight,    // higher frequencies
  kUp,       // higher levels
  kDown,     // lower levels
  kZoomIn,   // '+': one wheel notch about the centre
  kZoomOut,  // '-'
  kFit,      // 'F'
  kReset,    // Home
  kLevel90,  // '1'..'4': the level presets
  kLevel50,
  kLevel30,
  kLevel15,
};

// Ctrl: the frequency axis only; Shift: the vertical axes only; neither (or both): both.
[[nodiscard]] PlotAxes AxesForModifiers(bool shift, bool control);

// A wheel turned by angleDelta (positive away from the user: zoom in) over pixel (x, y).
bool WheelZoom(CPlotView& view, const PlotArea& area, double x, double y, int angleDelta,
               PlotAxes axes);
// A pan drag moved by (dx, dy) pixels since its last step.
bool DragPan(CPlotView& view, const PlotArea& area, double dx, double dy);
// A zoom box from its press at (x0, y0) to its release at (x1, y1).
bool DragZoomBox(CPlotView& view, const PlotArea& area, double x0, double y0, double x1, double y1);
// A key; traces are the plot's traces (for fit, reset and the presets).
bool PressPlotKey(CPlotView& view, PlotKey key, PlotAxes axes, std::span<const PlotTrace> traces);

// The frequency under pixel column x, or NaN outside the area: where the cursor reads.
[[nodiscard]] double CursorFrequencyAt(const CPlotView& view, const PlotArea& area, double x);

}  // namespace quorvel

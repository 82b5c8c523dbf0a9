#pragma once
// The workbench plot drawn with QPainter: its traces (levels and, when asked, phases) over the
// view's grid and labels, a legend, the reading cursor with its readout and a dragged zoom box.
//
// The plot is drawn on a fixed light background, whatever the desktop's palette, like the main
// graph: the trace colours (graph/trace_palette.h) are chosen for white, and a picture saved or
// printed looks as it does on the screen. Unlike the main graph, lines and text are
// antialiased: nothing here has to match a picture pixel for pixel, and sixteen crossing curves
// read better smooth. Grid lines stay sharp (not antialiased). It draws at any device pixel ratio
// in logical pixels, and nothing outside the rectangle it is given.
// User-interface thread (or quorvel-cli's main thread); a QGuiApplication must exist (fonts).
#include <QImage>
#include <QPainter>
#include <QRect>
#include <QRectF>
#include <QSize>
#include <cmath>
#include <span>
#include <string>
#include <vector>

#include "base/result.h"

#include "graph/plot_trace.h"
#include "graph/plot_view.h"

namespace quorvel {

// What a plot shows besides its view.
struct PlotScene {
  std::span<const PlotTrace> traces;  // kept alive by the caller while it is drawn
  std::string smoothing;              // named atop the legend ("1/6 octave"); empty: none
  std::string heading;                // atop the legend in the smoothing's place; empty: none
  bool showLevel = true;              // the traces' levels, on the level axis at the left
  bool showPhase = false;             // their phases, on a phase axis at the right
  std::string levelUnit = "dB";       // named atop the level axis: "dB", "dB SPL", "dBFS"
  double cursorHz = NAN;              // the reading cursor; NaN: none
  int referenceTrace = -1;            // the cursor's reference, an index into traces; -1: none
  bool hasZoomBox = false;            // a zoom box being dragged, in logical pixels
  QRectF zoomBox;
};

// Where the parts of a plot drawn into rect go (logical pixels).
struct PlotLayout {
  PlotArea area;  // the data: what the widget maps its mouse with
  QRectF legend;  // empty when there are no traces
};
[[nodiscard]] PlotLayout LayoutPlot(const QRect& rect, const PlotScene& scene);

// The legend's lines: the heading, or else the smoothing ("Smoothing: 1/6 octave", "No
// smoothing"), then the name of each visible trace.
[[nodiscard]] std::vector<std::string> PlotLegendLines(const PlotScene& scene);

// Draws the plot into rect. The painter's state is restored.
void PaintPlot(QPainter& painter, const QRect& rect, const CPlotView& view, const PlotScene& scene);

// The plot as a picture of size logical pixels at devicePixelRatio (RGB32; its device pixel
// ratio set, so that it shows at size on a screen of that ratio); null when it cannot be made.
[[nodiscard]] QImage RenderPlotImage(const CPlotView& view, const PlotScene& scene,
                                     const QSize& size, double devicePixelRatio);

// Writes RenderPlotImage as PNG to path, whole or not at all (CAtomicFile). Fails when nothing
// was written, with kMsgCannotSaveFile and, on a second line, the path and the reason.
[[nodiscard]] Result<void> SavePlotPicture(const std::string& path, const CPlotView& view,
                                           const PlotScene& scene, const QSize& size,
                                           double devicePixelRatio);

}  // namespace quorvel

#pragma once

#include <array>

#include "calibration/chart_preview.h"

// The drawing of the chart preview onto a canvas (graph/graph_canvas.h): the selection
// dialog's off-screen picture (RGB32), or the dialog's preview area at another size or scale of
// the screen, in the preview's own pixels. With the response graph's palette and small font: the
// frame with its frequency axis (20 Hz to 20 kHz, 250 pixels a decade from x 30), level axis (-30
// to +20 dB, 5 pixels a dB above the base line 22 pixels over the bottom edge), grid and labels,
// and the chart's curve as a two-pixel red line. The plot is 750 x 250 pixels whatever the
// picture's size; what does not fit is clipped. User-interface thread only.

namespace quorvel {

class CGraphCanvas;
struct CGraphResources;

// x of frequency f [Hz]: 30 + trunc(250 * log10(f / 20) + 0.5).
int PreviewFrequencyX(double frequencyHz);

// Background, frame, axes, grid and labels, for a preview area of width x height pixels.
void DrawPreviewFrame(CGraphCanvas& canvas, int width, int height,
                      const CGraphResources& resources);

// The curve through the rows of a preview (column i at x 30 + i, row r at y = height - 22 - r).
// Draws nothing and returns false when the rows are not valid (PreviewRowsValid).
bool DrawPreviewCurve(CGraphCanvas& canvas, int height,
                      const std::array<int, kPreviewRowEntries>& rows);

}  // namespace quorvel

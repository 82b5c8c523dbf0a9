#pragma once

#include <array>
#include <vector>

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

// A frequency label of the preview: its frequency [Hz] and the x of its tick, where its text
// (FormatAxisNumber of width 6, kPreviewLabelAdvance pixels a character) is centred.
struct PreviewLabel {
  double frequency;
  int x;
};
inline constexpr int kPreviewLabelAdvance = 6;  // the graph's small font [pixels a character]

// The labels 20, 40, 60, 80, 100, 140, 200, ... 14000, 20000 (each decade and its multiples 2 to
// 5 and 7), from the left, less any that would come within half a character of the next one
// kept: at 250 pixels a decade "8000" would run into "10000", and gives way to it.
[[nodiscard]] std::vector<PreviewLabel> PreviewFrequencyLabels();

// Background, frame, axes, grid and labels, for a preview area of width x height pixels.
void DrawPreviewFrame(CGraphCanvas& canvas, int width, int height,
                      const CGraphResources& resources);

// The curve through the rows of a preview (column i at x 30 + i, row r at y = height - 22 - r).
// Draws nothing and returns false when the rows are not valid (PreviewRowsValid).
bool DrawPreviewCurve(CGraphCanvas& canvas, int height,
                      const std::array<int, kPreviewRowEntries>& rows);

}  // namespace quorvel

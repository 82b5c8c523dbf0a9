#pragma once

#include <array>
#include <string>

#include "files/chart_file.h"

// The arithmetic of the microphone dialog's chart preview: the selected chart resampled over
// 20..20000 Hz, one preview row per plot column, and the rule that decides whether the chart
// may be selected. No drawing here; the dialog draws the rows (app/micro_select.cpp).

namespace quorvel {

constexpr int kPreviewPlotWidth = 750;   // plot columns [pixels], whatever the control's size
constexpr int kPreviewPlotHeight = 250;  // plot rows [pixels]
constexpr int kPreviewRowEntries = 1000;
constexpr double kPreviewFmin = 20.0;  // [Hz]
constexpr double kPreviewFmax = 20000.0;
constexpr int kPreviewMinRaisedColumns = 10;  // fewer columns above the bottom row: not valid

enum class PreviewStatus {
  kNotLoaded,  // the chart could not be loaded
  kNotValid,   // loaded, but its curve lies (almost) wholly at the bottom of the scale
  kValid,
};

struct ChartPreview {
  std::array<double, kChartCurveSize> levels{};  // the chart over 20..20000 Hz [dB]
  // Row of each plot column (0..249 from -30..+20 dB); columns 750 and 751 repeat column 749;
  // -1 where nothing is computed.
  std::array<int, kPreviewRowEntries> rows{};

  ChartPreview() { rows.fill(-1); }
};

// Loads the chart at path over 20..20000 Hz and computes its rows: column i takes the level at
// e = i * 1000 / 750 between entries trunc(e) and trunc(e) + 1. The chart is valid when every
// row lies in 0..249 and at least 10 of them are above row 0 (about -29.9 dB). When the chart
// cannot be loaded, preview keeps its earlier rows.
PreviewStatus LoadPreview(const std::string& path, ChartPreview* preview);

// The validity rule on its own, for rows already computed.
bool PreviewRowsValid(const std::array<int, kPreviewRowEntries>& rows);

}  // namespace quorvel

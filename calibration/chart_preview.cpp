// The chart preview's rows and validity rule.
#include "calibration/chart_preview.h"

#include "graph/graphical.h"

namespace quorvel {

bool PreviewRowsValid(const std::array<int, kPreviewRowEntries>& rows) {
  int raised = 0;
  for (int i = 0; i < kPreviewPlotWidth; ++i) {
    const int row = rows[static_cast<size_t>(i)];
    if (row < 0 || row >= kPreviewPlotHeight) return false;
    if (row > 0) ++raised;
  }
  return raised >= kPreviewMinRaisedColumns;
}

PreviewStatus LoadPreview(const std::string& path, ChartPreview* preview) {
  if (!LoadChart(path, kPreviewFmin, kPreviewFmax, preview->levels))
    return PreviewStatus::kNotLoaded;
  const auto& levels = preview->levels;
  for (int i = 0; i < kPreviewPlotWidth; ++i) {
    // 1000 curve steps over 750 columns
    const double e = i * 1000.0 / kPreviewPlotWidth;
    const auto j = static_cast<size_t>(e);
    const double value = levels[j] + (e - static_cast<double>(j)) * (levels[j + 1] - levels[j]);
    preview->rows[static_cast<size_t>(i)] = CGraphical::ChartLevelToRow(value);
  }
  preview->rows[kPreviewPlotWidth] = preview->rows[kPreviewPlotWidth - 1];
  preview->rows[kPreviewPlotWidth + 1] = preview->rows[kPreviewPlotWidth - 1];
  return PreviewRowsValid(preview->rows) ? PreviewStatus::kValid : PreviewStatus::kNotValid;
}

}  // namespace quorvel

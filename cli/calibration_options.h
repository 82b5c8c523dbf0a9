#pragma once

#include <string>

namespace quorvel {

class CliOptions;
class CQuorvelCore;
class IPreferences;

// --calibration CHART: the chart file at path, read for the curve's range fmin..fmax [Hz] into
// the curve store's calibration curve and applied: it becomes the one chart of the chart lists,
// selected, so the end-of-capture caption and a saved capture name it (its file title). False
// after the message "The response curve of the selected microphone is not valid" when the chart
// is unusable. Main thread, before the curve is measured.
[[nodiscard]] bool ApplyCalibrationOption(CQuorvelCore& core, const std::string& path, double fmin,
                                          double fmax);

// The chart folder a capture's microphone is looked up in: --chart-folder DIR when given, else
// the window's stored "CalibFiles"; kept as this run's "CalibFiles".
void UseChartFolderOption(const CliOptions& options, IPreferences& preferences);

}  // namespace quorvel

#pragma once

#include <string>

#include "calibration/micro_list_proc.h"
#include "control/capture_files.h"

namespace quorvel {

class ICaptureView;

// The calibration charts as the capture-file commands ask for them: the chart of a name found
// (and checked) among the charts of the chart folder, and a chart file loaded into the curve
// store's calibration curve. User-interface thread only.
class CCalibrationCharts : public ICalibrationCharts {
 public:
  explicit CCalibrationCharts(CMicroListProc& charts) : m_charts(charts) {}
  int FindChart(const std::string& name) override { return m_charts.FindChart(name); }
  bool ValidateChart(int index) override { return m_charts.ValidateChart(index); }
  bool LoadChart(const std::string& path, double fmin, double fmax) override {
    return m_charts.LoadCalibration(path, fmin, fmax);
  }

 private:
  CMicroListProc& m_charts;
};

// The calibration button of a window that implements ICaptureView: what the calibration code
// shows there goes to the view's SetCalibrationButton.
class CCaptureViewCalibrationButton : public ICalibrationButton {
 public:
  explicit CCaptureViewCalibrationButton(ICaptureView& view) : m_view(view) {}
  void SetCalibrationButton(bool applied) override;

 private:
  ICaptureView& m_view;
};

}  // namespace quorvel

#pragma once

// Stand-ins for the window's seams in the capture-file tests: calibration charts by name, and
// the scripted answerer for messages and file choosers.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "calibration/micro_list_proc.h"
#include "control/captures/capture_files.h"
#include "tests/base/scripted_messages.h"

namespace quorvel {

namespace wavetest {

// Charts by name; a chart is valid and loads unless listed otherwise.
class FakeCharts : public ICalibrationCharts {
 public:
  int FindChart(const std::string& name) override {
    for (size_t i = 0; i < names.size(); ++i) {
      if (names[i] == name) return static_cast<int>(i);
    }
    return -1;
  }
  bool ValidateChart(int index) override { return index != invalidIndex; }
  bool LoadCalibration(const std::string& path, double fmin, double fmax) override {
    loadedPath = path;
    loadedFmin = fmin;
    loadedFmax = fmax;
    return !failLoad;
  }
  std::vector<std::string> names;
  int invalidIndex = -1;
  bool failLoad = false;
  std::string loadedPath;
  double loadedFmin = 0.0;
  double loadedFmax = 0.0;
};

}  // namespace wavetest

}  // namespace quorvel

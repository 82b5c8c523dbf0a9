#pragma once

// Stand-ins for the window's seams in the capture-file tests: a scripted answerer for messages
// and file choosers, calibration charts by name.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/user_messages.h"
#include "control/capture_files.h"

namespace quorvel {

namespace wavetest {

class ScriptedMessages : public IUserMessages {
 public:
  void ShowMessage(const std::string& text, const std::string& /*caption*/) override {
    shown.push_back(text);
  }
  bool AskYesNo(const std::string& /*text*/, const std::string& /*caption*/) override {
    ADD_FAILURE() << "no question is asked";
    return false;
  }
  bool ChooseSaveFile(const std::string& startFolder, const std::string& extension,
                      std::string* path) override {
    chooserFolder = startFolder;
    chooserExtension = extension;
    if (answer.empty()) return false;
    *path = answer;
    return true;
  }
  bool ChooseOpenFile(const std::string& startFolder, const std::string& extension,
                      std::string* path) override {
    return ChooseSaveFile(startFolder, extension, path);
  }
  bool ChooseFolder(const std::string& startFolder, const std::string& /*caption*/,
                    std::string* path) override {
    return ChooseSaveFile(startFolder, "", path);
  }

  std::vector<std::string> shown;
  std::string answer;  // empty: the chooser is cancelled
  std::string chooserFolder;
  std::string chooserExtension;
};

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
  bool LoadChart(const std::string& path, double fmin, double fmax) override {
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

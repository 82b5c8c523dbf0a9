#pragma once

// A window for the control tests: it keeps what capture control asked it to show, and its
// lists, sliders and selections are set by the test as a user would set them.
#include <cstdint>
#include <string>
#include <vector>

#include "control/run/capture_control.h"

namespace quorvel {

class CRecordingWindow : public ICaptureWindow {
 public:
  void EnableStartButton(bool enabled) override { startEnabled = enabled; }
  void SetStartButton(bool capturing) override { startCapturing = capturing; }
  void SetInputButton(bool open) override { inputOpen = open; }
  void EnableInputButton(bool enabled) override { inputEnabled = enabled; }
  void EnableCalibrationButton(bool enabled) override { calibrationEnabled = enabled; }
  void SetCalibrationButton(bool applied) override { calibrationApplied = applied; }
  void SetRangeFieldTexts(const std::string& fmin, const std::string& fmax) override {
    fminText = fmin;
    fmaxText = fmax;
  }
  void RequestGraphRepaint() override { ++graphRepaints; }
  void SetInputList(const std::vector<std::string>& names, int selection) override {
    inputs = names;
    inputSelection = selection;
  }
  void SetOutputList(const std::vector<std::string>& names, int selection) override {
    outputs = names;
    outputSelection = selection;
  }
  int InputSelection() const override { return inputSelection; }
  int OutputSelection() const override { return outputSelection; }
  int GainSliderPosition() const override { return gain; }
  void SetGainSliderPosition(int position) override { gain = position; }
  int VolumeSliderPosition() const override { return volume; }
  void SetVolumeSliderPosition(int position) override { volume = position; }
  void SetSmoothButton(bool on) override { smoothOn = on; }
  void LevelMeterChanged() override { ++meterChanges; }
  void RepaintNow() override { ++repaintsNow; }
  uint32_t NowMs() const override { return nowMs; }

  bool startEnabled = true;
  bool inputEnabled = true;
  bool calibrationEnabled = true;
  bool startCapturing = false;
  bool inputOpen = false;
  bool calibrationApplied = false;
  bool smoothOn = false;
  std::string fminText;
  std::string fmaxText;
  std::vector<std::string> inputs;
  std::vector<std::string> outputs;
  int inputSelection = -1;
  int outputSelection = -1;
  int gain = 0;
  int volume = 0;
  int graphRepaints = 0;
  int repaintsNow = 0;
  int meterChanges = 0;
  uint32_t nowMs = 0;
};

}  // namespace quorvel

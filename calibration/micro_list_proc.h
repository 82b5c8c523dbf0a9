#pragma once

#include <optional>
#include <string>
#include <vector>

#include "base/messages.h"
#include "base/result.h"
#include "measurement/resolved_chart.h"

namespace quorvel {

class CGraphical;
class IPreferences;
class IUserMessages;
struct CSharedState;

// The chart a capture file names, as ApplyFileChart finds it.
struct FileChart {
  int index = -1;        // FindChart's index; -1: no usable chart of that name
  bool applied = false;  // usable for the file's range too, and loaded as the calibration curve
  std::optional<ResolvedChart> chart;  // when applied and read here: the chart as it was read
};

// The microphone calibration charts as Load Audio File asks for them (CMicroListProc, or a
// stand-in in tests): FindChart gives the index (into CSharedState::m_chartPaths /
// m_chartNames) of the usable chart of that name or -1; LoadCalibration resamples the chart at
// path onto the curve grid of fmin..fmax [Hz] into the calibration curve and says whether the
// chart was usable.
class ICalibrationCharts {
 public:
  virtual ~ICalibrationCharts() = default;
  virtual int FindChart(const std::string& name) = 0;
  virtual bool ValidateChart(int index) = 0;
  virtual bool LoadCalibration(const std::string& path, double fmin, double fmax) = 0;
  // The chart a capture file names: FindChart, then ValidateChart and LoadCalibration of
  // paths[index] for fmin..fmax [Hz]. CMicroListProc reads the chart's file once for all three.
  virtual FileChart ApplyFileChart(const std::vector<std::string>& paths, const std::string& name,
                                   double fmin, double fmax);
};

// CMicroListProc: the calibration state's operations. The charts of the chart folder (the
// preference "CalibFiles") are listed in the shared state (m_chartPaths, m_chartNames,
// m_nChartCount), the chosen one is m_nSelectedChart and the remembered microphone is the
// preference "MicroSelected". The chosen chart is checked for the coming curve's range; the
// measurement that starts with the calibration applied resolves it once (measurement/
// resolved_chart.h) and its curve subtracts that chart's correction.
//
// Every operation runs on the user-interface thread (or quorvel-cli's main thread).
class CMicroListProc : public ICalibrationCharts {
 public:
  // The question asked at a capture start when a remembered chart is not applied yet
  // ("calibation" as the tool has always spelled it: its own text, kept on purpose).
  static constexpr const char* kApplyQuestion =
      "Do you want to apply the calibation with microphone \"%s\" ?";

  CMicroListProc(CSharedState& state, IPreferences& preferences, IUserMessages& messages,
                 CGraphical& graph);
  ~CMicroListProc() override;
  CMicroListProc(const CMicroListProc&) = delete;
  CMicroListProc& operator=(const CMicroListProc&) = delete;

  // Rebuilds the chart lists from the chart folder: every ".txt" or ".frd" file of the folder
  // and its subfolders that holds 1 to 128000 bytes and opens, in the order of the listing. The
  // selection becomes the last chart named like "MicroSelected" (case-blind), or -1. Returns
  // the number of charts, 0 when the folder is missing or not a folder, -1 when no chart folder
  // is configured (the lists then stay as they were). The charts named like `readNext`
  // (case-blind) are listed without being opened: their caller opens them once to read them.
  int ScanCharts(const std::string& readNext = {});

  // Rescans, then returns the index of the first chart named name (case-blind) when that chart
  // loads; -1 otherwise.
  int FindChart(const std::string& name) override;

  // True when the chart at index loads (into a scratch curve).
  bool ValidateChart(int index) override;

  // True when the chart file at path is usable for fmin..fmax [Hz] (LoadChart's rules).
  bool LoadCalibration(const std::string& path, double fmin, double fmax) override;
  // The chart of that name found in a new scan (which opens each other listed file once) and
  // opened once, to be read: checked over 20 Hz..20 kHz as ValidateChart checks it, then resampled
  // for fmin..fmax into the calibration curve.
  FileChart ApplyFileChart(const std::vector<std::string>& paths, const std::string& name,
                           double fmin, double fmax) override;

  // The chart file at path as the only chart, selected and applied for fmin..fmax [Hz]
  // (quorvel-cli's --calibration): listed under its full path, named by its file title, so the
  // caption and a saved capture name it. Fails with kMsgChartNotValid when the chart is
  // unusable; nothing changes then.
  [[nodiscard]] Result<void> ApplyChartFile(const std::string& path, double fmin, double fmax);

  // The capture-start step, with the range of the coming curve [Hz]: loads the selected chart
  // (or the remembered one, found again) for that range; when the calibration is not applied
  // yet, asks kApplyQuestion and applies it or forgets the microphone. A chart that is gone or
  // no longer loads is forgotten and the not-applied state shown.
  void PrepareCalibration(double fmin, double fmax);

  // Sets m_bCalibrationApplied, which the window's calibration button shows
  // (calibration/calibration_flag.h).
  void SetCalibrationApplied(bool applied);

  // ---- what the selection dialog changes ----

  // m_szChartFolder from "CalibFiles", the current folder as its default.
  void ReadChartFolder();
  // A folder chosen by the user: m_szChartFolder (at most 519 characters) and "CalibFiles".
  void SetChartFolder(const std::string& folder);
  // "OK, Apply": "MicroSelected" becomes the selected chart's name when one is selected.
  void RememberSelection();
  // "Cancel": no selection, not applied, "MicroSelected" emptied.
  void ForgetSelection();

  // The name of chart index, empty when there is none.
  std::string ChartName(int index) const;
  std::string ChartPath(int index) const;
  int ChartCount() const;
  int SelectedChart() const;
  void SelectChart(int index);
  std::string ChartFolder() const;

 private:
  // m_nSelectedChart: the last listed chart named like "MicroSelected" (case-blind), or -1.
  void SelectRememberedChart();
  void Reset();

  CSharedState& m_state;
  IPreferences& m_preferences;
  IUserMessages& m_messages;
};

}  // namespace quorvel

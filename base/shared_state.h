#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

namespace quorvel {

// The state that several parts of the program share, as the application object holds it: the
// measurement flags, the range of the curve on screen, the data paths, the graph caption (written
// only through graph/graph_caption.h) and the calibration choice; and the main window's range
// fields, which the graph, the capture control and the capture files read. A finished
// measurement's own data (its levels, recording, chart, caption and range) is its Measurement's.
// The application object owns one for the whole run (quorvel-cli and the tests own their own).
// Flags that another thread reads are atomics.
struct CSharedState {
  std::atomic<int32_t> m_bCapturing{0};
  std::atomic<int32_t> m_bInputOpen{0};
  std::atomic<int32_t> m_bCurveEndNotified{0};
  std::atomic<int32_t> m_bSmoothing{0};
  std::atomic<int32_t> m_bCalibrationApplied{0};
  std::atomic<int32_t> m_bMeterNeedsFrame{0};

  double m_curveFmin = 0.0;  // range the curve on screen was measured with [Hz]
  double m_curveFmax = 0.0;
  double m_fmin = 20.0;  // displayed range: the "f. min" and "f. max" fields [Hz]
  double m_fmax = 20000.0;

  char m_szExeDir[520] = {};
  char m_szInstallDataDir[520] = {};
  char m_szChartFolder[520] = {};
  char m_szWavPath[520] = {};
  char m_szCurvesDir[520] = {};
  char m_szHelpFile[520] = {};
  char m_szGraphCaption[2048] = {};  // caption drawn at the top of the graph

  std::vector<std::string> m_chartPaths;  // usable calibration charts, full paths
  std::vector<std::string> m_chartNames;  // their names, same index
  int32_t m_nChartCount = 0;
  std::atomic<int32_t> m_nSelectedChart{-1};  // -1: no chart selected
};

}  // namespace quorvel

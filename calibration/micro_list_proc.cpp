// CMicroListProc: the chart lists, the remembered microphone and the capture-start step.
#include "calibration/micro_list_proc.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <system_error>
#include <vector>

#include "base/preferences.h"
#include "base/shared_state.h"
#include "base/user_messages.h"
#include "base/util.h"
#include "calibration/calibration_flag.h"
#include "files/chart_file.h"
#include "graph/graphical.h"

namespace quorvel {

namespace {

// The range a chart must be usable over to be found at all [Hz].
constexpr double kValidationFmin = 20.0;
constexpr double kValidationFmax = 20000.0;

// A chart candidate opens for reading; opened without waiting so a named pipe never blocks.
bool Openable(const std::string& path) {
  char mended[CUtil::kCheckFileNameSize];
  if (CUtil::CheckFileName(mended, path.c_str()) != 0) return false;
  const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  close(fd);
  return true;
}

}  // namespace

CMicroListProc::CMicroListProc(CSharedState& state, IPreferences& preferences,
                               IUserMessages& messages, CGraphical& /*graph*/)
    : m_state(state), m_preferences(preferences), m_messages(messages) {}

CMicroListProc::~CMicroListProc() = default;

int CMicroListProc::ScanCharts(const std::string& readNext) {
  m_state.m_nSelectedChart.store(-1);
  ReadChartFolder();
  const std::string folder = m_state.m_szChartFolder;
  if (folder.empty()) return -1;

  m_state.m_chartPaths.clear();
  m_state.m_chartNames.clear();
  m_state.m_nChartCount = 0;
  std::error_code ec;
  if (!std::filesystem::is_directory(folder, ec)) return 0;

  std::vector<std::string> listed;
  CUtil::ListFilesByExtension(folder, &listed, {".txt", ".frd"});
  for (const std::string& path : listed) {
    const uint32_t size = CUtil::FileSizeOf(path.c_str());
    const bool unopened =
        !readNext.empty() &&
        CUtil::CompareNoCase(CUtil::FileTitleOfPath(path).c_str(), readNext.c_str()) == 0;
    if (size < 1 || size > kMaxChartFileSize || (!unopened && !Openable(path))) continue;
    m_state.m_chartPaths.push_back(path);
    m_state.m_chartNames.push_back(CUtil::FileTitleOfPath(path));
  }
  m_state.m_nChartCount = static_cast<int32_t>(m_state.m_chartPaths.size());
  SelectRememberedChart();
  return m_state.m_nChartCount;
}

void CMicroListProc::SelectRememberedChart() {
  m_state.m_nSelectedChart.store(-1);
  // The last chart of the remembered name wins.
  const std::string remembered =
      m_preferences.ReadString(kPrefMicroSelected, kDefaultMicroSelected);
  if (!remembered.empty()) {
    for (int32_t i = 0; i < m_state.m_nChartCount; ++i) {
      if (CUtil::CompareNoCase(m_state.m_chartNames[static_cast<size_t>(i)].c_str(),
                               remembered.c_str()) == 0) {
        m_state.m_nSelectedChart.store(i);
      }
    }
  }
}

int CMicroListProc::FindChart(const std::string& name) {
  if (ScanCharts() <= 0) return -1;
  for (int i = 0; i < m_state.m_nChartCount; ++i) {
    if (CUtil::CompareNoCase(m_state.m_chartNames[static_cast<size_t>(i)].c_str(), name.c_str()) ==
        0) {
      return ValidateChart(i) ? i : -1;  // the first chart of that name decides
    }
  }
  return -1;
}

FileChart ICalibrationCharts::ApplyFileChart(const std::vector<std::string>& paths,
                                             const std::string& name, double fmin, double fmax) {
  FileChart found;
  const int index = FindChart(name);
  if (index < 0 || static_cast<size_t>(index) >= paths.size()) return found;
  found.index = index;
  found.applied =
      ValidateChart(index) && LoadCalibration(paths[static_cast<size_t>(index)], fmin, fmax);
  return found;
}

FileChart CMicroListProc::ApplyFileChart(const std::vector<std::string>& /*paths*/,
                                         const std::string& name, double fmin, double fmax) {
  FileChart found;
  // the charts of that name are opened once, here, to be read
  if (ScanCharts(name) <= 0) return found;
  for (int i = 0; i < m_state.m_nChartCount; ++i) {
    if (CUtil::CompareNoCase(m_state.m_chartNames[static_cast<size_t>(i)].c_str(), name.c_str()) !=
        0) {
      continue;
    }
    // the first chart of that name decides, as in FindChart
    bool opened = false;
    const Result<ResolvedChart> valid =
        ResolveChart(ChartPath(i), ChartName(i), kValidationFmin, kValidationFmax, &opened);
    if (!opened) {
      // a chart that does not open is no chart of the folder, as the scan would have found
      m_state.m_chartPaths.erase(m_state.m_chartPaths.begin() + i);
      m_state.m_chartNames.erase(m_state.m_chartNames.begin() + i);
      m_state.m_nChartCount = static_cast<int32_t>(m_state.m_chartPaths.size());
      SelectRememberedChart();
      --i;
      continue;
    }
    if (!valid) return found;
    found.index = i;
    Result<ResolvedChart> chart = valid->ForRange(fmin, fmax);
    if (!chart) return found;
    found.applied = true;
    found.chart = std::move(*chart);
    return found;
  }
  return found;
}

bool CMicroListProc::ValidateChart(int index) {
  if (index < 0 || index >= ChartCount()) return false;
  std::array<double, kChartCurveSize> scratch;
  return LoadChart(ChartPath(index), kValidationFmin, kValidationFmax, scratch);
}

bool CMicroListProc::LoadCalibration(const std::string& path, double fmin, double fmax) {
  std::array<double, kChartCurveSize> scratch;
  return LoadChart(path, fmin, fmax, scratch);
}

void CMicroListProc::Reset() {
  m_state.m_nSelectedChart.store(-1);
  m_preferences.WriteString(kPrefMicroSelected, "");
  SetCalibrationApplied(false);
}

void CMicroListProc::PrepareCalibration(double fmin, double fmax) {
  int index = SelectedChart();
  if (index < 0) {
    const std::string remembered =
        m_preferences.ReadString(kPrefMicroSelected, kDefaultMicroSelected);
    if (remembered.empty() || ScanCharts() <= 0) {
      Reset();
      return;
    }
    index = FindChart(remembered);
    if (index < 0) {
      Reset();
      return;
    }
    if (!ValidateChart(index)) {
      Reset();
      return;
    }
  }
  if (index >= ChartCount() || !LoadCalibration(ChartPath(index), fmin, fmax)) {
    // "MicroSelected" stays: the chart may come back before the next capture.
    SetCalibrationApplied(false);
    m_state.m_nSelectedChart.store(-1);
    return;
  }
  // Already applied: it stays applied, its curve now matching the new range.
  if (m_state.m_bCalibrationApplied.load() != 0) return;

  char question[CUtil::kFormatSize];
  CUtil::FormatText(question, sizeof question, kApplyQuestion, ChartName(index).c_str());
  if (m_messages.AskYesNo(question)) {
    m_state.m_nSelectedChart.store(index);
    m_preferences.WriteString(kPrefMicroSelected, ChartName(index));
    SetCalibrationApplied(true);
  } else {
    Reset();
  }
}

void CMicroListProc::SetCalibrationApplied(bool applied) {
  SetCalibrationFlag(m_state, applied);
}

void CMicroListProc::ReadChartFolder() {
  const std::string folder = m_preferences.ReadString(kPrefCalibFiles, m_state.m_szChartFolder);
  CUtil::CopyText(m_state.m_szChartFolder, folder.c_str());
}

void CMicroListProc::SetChartFolder(const std::string& folder) {
  CUtil::CopyText(m_state.m_szChartFolder, folder.c_str());
  m_preferences.WriteString(kPrefCalibFiles, m_state.m_szChartFolder);
}

void CMicroListProc::RememberSelection() {
  const int index = SelectedChart();
  if (index >= 0 && index < ChartCount()) {
    m_preferences.WriteString(kPrefMicroSelected, ChartName(index));
  }
}

void CMicroListProc::ForgetSelection() {
  Reset();
}

Result<void> CMicroListProc::ApplyChartFile(const std::string& path, double fmin, double fmax) {
  if (!LoadCalibration(path, fmin, fmax)) return Failure{kMsgChartNotValid};
  std::error_code ec;
  const std::filesystem::path full = std::filesystem::absolute(path, ec);
  m_state.m_chartPaths = {ec ? path : full.string()};
  m_state.m_chartNames = {CUtil::FileTitleOfPath(m_state.m_chartPaths[0])};
  m_state.m_nChartCount = 1;
  SelectChart(0);
  SetCalibrationApplied(true);
  return {};
}

std::string CMicroListProc::ChartName(int index) const {
  if (index < 0 || index >= ChartCount()) return std::string();
  return m_state.m_chartNames[static_cast<size_t>(index)];
}

std::string CMicroListProc::ChartPath(int index) const {
  if (index < 0 || index >= ChartCount()) return std::string();
  return m_state.m_chartPaths[static_cast<size_t>(index)];
}

int CMicroListProc::ChartCount() const {
  const auto count = static_cast<int>(m_state.m_chartPaths.size());
  return m_state.m_nChartCount < count ? m_state.m_nChartCount : count;
}

int CMicroListProc::SelectedChart() const {
  return m_state.m_nSelectedChart.load();
}

void CMicroListProc::SelectChart(int index) {
  m_state.m_nSelectedChart.store(index);
}

std::string CMicroListProc::ChartFolder() const {
  return m_state.m_szChartFolder;
}

}  // namespace quorvel

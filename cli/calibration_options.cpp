#include "cli/calibration_options.h"

#include <filesystem>
#include <system_error>

#include "base/preferences.h"
#include "base/user_messages.h"
#include "base/util.h"
#include "calibration/micro_list_proc.h"
#include "cli/cli_options.h"
#include "cli/stored_settings.h"
#include "control/quorvel_core.h"

namespace quorvel {

bool ApplyCalibrationOption(CQuorvelCore& core, const std::string& path, double fmin, double fmax) {
  CMicroListProc& charts = core.MicroList();
  if (!charts.LoadCalibration(path, fmin, fmax)) {
    core.Messages().ShowMessage(kMsgChartNotValid);
    return false;
  }
  // The chart's name as the chart lists give it: the file title of its full path.
  std::error_code ec;
  const std::filesystem::path full = std::filesystem::absolute(path, ec);
  CSharedState& shared = core.Shared();
  shared.m_chartPaths = {ec ? path : full.string()};
  shared.m_chartNames = {CUtil::FileTitleOfPath(shared.m_chartPaths[0])};
  shared.m_nChartCount = 1;
  charts.SelectChart(0);
  charts.SetCalibrationApplied(true);
  return true;
}

void UseChartFolderOption(const CliOptions& options, IPreferences& preferences) {
  const std::string folder = options.Has("chart-folder") ? options.Value("chart-folder")
                                                         : StoredPreferenceText(kPrefCalibFiles);
  if (!folder.empty()) preferences.WriteString(kPrefCalibFiles, folder);
}

}  // namespace quorvel

#include "cli/calibration_options.h"

#include "base/preferences.h"
#include "base/user_messages.h"
#include "calibration/micro_list_proc.h"
#include "cli/cli_options.h"
#include "cli/stored_settings.h"
#include "control/quorvel_core.h"

namespace quorvel {

bool ApplyCalibrationOption(CQuorvelCore& core, const std::string& path, double fmin, double fmax) {
  if (core.MicroList().ApplyChartFile(path, fmin, fmax)) return true;
  core.Messages().ShowMessage(kMsgChartNotValid);
  return false;
}

void UseChartFolderOption(const CliOptions& options, IPreferences& preferences) {
  const std::string folder = options.Has("chart-folder") ? options.Value("chart-folder")
                                                         : StoredPreferenceText(kPrefCalibFiles);
  if (!folder.empty()) preferences.WriteString(kPrefCalibFiles, folder);
}

}  // namespace quorvel

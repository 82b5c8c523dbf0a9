#include "control/captures/save_curve.h"

#include "base/messages.h"
#include "base/preferences.h"
#include "base/user_messages.h"
#include "control/captures/capture_files.h"
#include "control/run/failure_words.h"
#include "graph/graphical.h"

namespace quorvel {

bool SaveCurve(CGraphical& graph, IPreferences& preferences, IUserMessages& messages,
               const std::string& exeDir, const CurvePictureWriter& writePicture) {
  if (graph.UpdateHasCurve() == 0) {
    messages.ShowMessage("No Response Curve on screen");
    return false;
  }
  const std::string folder = ChooserStartFolder(preferences.ReadString(kPrefCurves, ""), exeDir);
  std::string path;
  if (!messages.ChooseSaveFile(folder, "png", &path)) return false;
  preferences.WriteString(kPrefCurves, path);
  const Result<void> written = writePicture ? writePicture(path) : Result<void>(Failure{});
  if (!written) {
    messages.ShowMessage(WithWords(kMsgCannotSaveFile, written.Message()));
    return false;
  }
  return true;
}

}  // namespace quorvel

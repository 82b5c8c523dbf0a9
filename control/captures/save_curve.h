#pragma once

#include <functional>
#include <string>

#include "base/result.h"

namespace quorvel {

class CGraphical;
class IPreferences;
class IUserMessages;

// Writes the graph as last painted to a PNG or BMP file (by the path's extension); when the file
// was not written, the failure's message names the path and the system's reason (empty when
// there is none). The window hands in the graph's picture export.
using CurvePictureWriter = std::function<Result<void>(const std::string& path)>;

// The Save Curve command: "No Response Curve on screen" without a curve; otherwise the
// save-file chooser (default extension "png", opening in the folder of the last picture, the
// preference "Curves", or in exeDir before the first), the chosen path stored as "Curves"
// whatever comes of it, then the picture written, or kMsgCannotSaveFile with the
// path and the system's reason on a second line. True when a picture was saved.
// User-interface thread.
bool SaveCurve(CGraphical& graph, IPreferences& preferences, IUserMessages& messages,
               const std::string& exeDir, const CurvePictureWriter& writePicture);

}  // namespace quorvel

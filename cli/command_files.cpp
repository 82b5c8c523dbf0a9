#include "cli/command_files.h"

#include <cstdio>

#include "base/messages.h"
#include "cli/cli_options.h"
#include "cli/commands.h"
#include "control/run/failure_words.h"
#include "graph/curve_image_export.h"

namespace quorvel {

void CCommandFiles::AddInput(const std::string& label, const std::string& path) {
  m_set.AddInput(label, path);
  m_messages.emplace_back();
}

void CCommandFiles::AddOutput(const std::string& option, const std::string& path,
                              const std::string& failureMessage, uint64_t bytes) {
  m_set.AddOutput("--" + option, path, bytes);
  m_messages.push_back(failureMessage);
}

int CCommandFiles::RefuseSharedFiles(const char* usage) const {
  const Result<void> distinct = m_set.CheckDistinct();
  return distinct ? kExitOk : ArgumentError(distinct.Message(), usage);
}

bool CCommandFiles::CheckTargets() {
  const std::vector<std::string> words = m_set.CheckTargets();
  bool ok = true;
  for (size_t i = 0; i < words.size(); ++i) {
    if (words[i].empty()) continue;
    std::fprintf(stderr, "%s\n", WithWords(m_messages[i], words[i]).c_str());
    ok = false;
  }
  return ok;
}

void AddCurveCommandFiles(const CliOptions& options, CCommandFiles* files) {
  if (options.Has("calibration")) files->AddInput("--calibration", options.Value("calibration"));
  if (options.Has("csv")) {
    const std::string path = options.Value("csv");
    files->AddOutput("csv", path, "Could not write the curve to " + path, kCurveCsvBytes);
  }
  if (options.Has("png")) {
    files->AddOutput("png", WithImageExtension(options.Value("png"), "png"), kMsgCannotSaveFile,
                     PngBytesBound(kGraphAreaWidth, kGraphAreaHeight));
  }
  if (options.Has("bmp")) {
    files->AddOutput("bmp", WithImageExtension(options.Value("bmp"), "bmp"), kMsgCannotSaveFile,
                     BmpBytes(kGraphAreaWidth, kGraphAreaHeight));
  }
  if (options.Has("save")) {
    files->AddOutput("save", options.Value("save"), "Could not create File!", kCaptureFileBytes);
  }
}

}  // namespace quorvel

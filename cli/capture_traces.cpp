#include "cli/capture_traces.h"

#include <cstdio>
#include <filesystem>

#include "base/preferences.h"
#include "cli/cli_options.h"
#include "cli/cli_session.h"
#include "cli/commands.h"
#include "cli/stored_settings.h"
#include "control/response/capture_response.h"
#include "measurement/trace_names.h"
#include "response/impulse_analysis.h"

namespace quorvel {

int LoadCaptureTraces(const std::vector<std::string>& paths, double gateMs, const char* usage,
                      std::vector<Trace>* traces, const SplScale& scale) {
  std::vector<std::string> names;
  for (const std::string& path : paths) names.push_back(std::filesystem::path(path).stem());
  names = UniqueTraceNames(names);

  CCliSession session(AudioChoice::kNone);
  CQuorvelCore& core = session.Core();
  const std::string folder = StoredChartFolder();
  if (!folder.empty()) session.Preferences().WriteString(kPrefCalibFiles, folder);
  // one analysis for all: it keeps its transforms' plans and buffers from one capture to the next
  CImpulseAnalysis analysis;
  if (scale.spl) analysis.SetLevelScale(SplOfTransferLevel(0.0, scale.offsetDb), scale.words);
  bool warned = false;
  traces->clear();
  for (std::size_t i = 0; i < paths.size(); ++i) {
    const std::string& path = paths[i];
    CaptureResponseRequest request;
    request.path = path;
    request.gateMs = gateMs;
    LoadedResponseCapture loaded;
    std::string why;
    CaptureResponseResult result = LoadCaptureForResponse(core, request, &loaded, &why);
    if (result == CaptureResponseResult::kRangeRefused) {
      return ArgumentError(path + ": " + why, usage);
    }
    std::vector<std::string> warnings;
    if (result == CaptureResponseResult::kOk) {
      result = AnalyzeCaptureResponse(core, loaded, gateMs, &analysis, &warnings);
    }
    if (result != CaptureResponseResult::kOk) {
      std::fprintf(stderr, "quorvel-cli: %s gives no response\n", path.c_str());
      return kExitFailure;
    }
    for (const std::string& warning : warnings) {
      std::fprintf(stderr, "warning: %s: %s\n", path.c_str(), warning.c_str());
      warned = true;
    }
    OrMessage<Trace> trace = TraceFromAnalysis(analysis, names[i]);
    if (!trace.Ok()) {
      std::fprintf(stderr, "%s\nquorvel-cli: %s gives no response\n", trace.Message().c_str(),
                   path.c_str());
      return kExitFailure;
    }
    traces->push_back(std::move(trace).Value());
  }
  return warned ? kExitWarning : kExitOk;
}

}  // namespace quorvel

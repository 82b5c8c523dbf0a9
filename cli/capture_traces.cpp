#include "cli/capture_traces.h"

#include <cstdio>
#include <filesystem>
#include <utility>

#include "base/preferences.h"
#include "cli/cli_options.h"
#include "cli/cli_session.h"
#include "cli/commands.h"
#include "cli/stored_settings.h"
#include "control/response/capture_analyses.h"
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
  CaptureAnalysisSetup setup;
  setup.gateMs = gateMs;
  setup.names = names;
  if (scale.spl) {
    setup.prepare = [&scale](CImpulseAnalysis& analysis) {
      analysis.SetLevelScale(SplOfTransferLevel(0.0, scale.offsetDb), scale.words);
    };
  }
  bool warned = false;
  int exit = kExitOk;
  traces->clear();
  // each capture's messages and lines come in the files' order, whichever worker analysed it
  AnalyseCapturesInOrder(core, paths, setup, [&](AnalysedCapture& capture) {
    capture.messages.ShowTo(core.Messages());
    const std::string& path = capture.path;
    if (!capture.read && capture.result == CaptureResponseResult::kRangeRefused) {
      exit = ArgumentError(path + ": " + capture.why, usage);
      return false;
    }
    if (capture.result != CaptureResponseResult::kOk) {
      std::fprintf(stderr, "quorvel-cli: %s gives no response\n", path.c_str());
      exit = kExitFailure;
      return false;
    }
    for (const std::string& warning : capture.warnings) {
      std::fprintf(stderr, "warning: %s: %s\n", path.c_str(), warning.c_str());
      warned = true;
    }
    if (!capture.trace) {
      std::fprintf(stderr, "%s\nquorvel-cli: %s gives no response\n", capture.traceRefusal.c_str(),
                   path.c_str());
      exit = kExitFailure;
      return false;
    }
    traces->push_back(std::move(*capture.trace));
    return true;
  });
  if (exit != kExitOk) return exit;
  return warned ? kExitWarning : kExitOk;
}

}  // namespace quorvel

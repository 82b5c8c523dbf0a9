#include "control/workbench/workbench_import.h"

#include <string>
#include <utility>

#include "base/user_messages.h"
#include "control/response/capture_analyses.h"

namespace quorvel {

namespace {

std::string Reason(CaptureResponseResult result, const std::string& why) {
  switch (result) {
    case CaptureResponseResult::kOk:
      return "";
    case CaptureResponseResult::kFileRefused:
      return "the file could not be loaded";
    case CaptureResponseResult::kRangeRefused:
      return why.empty() ? "its frequency range cannot be analysed" : why;
    case CaptureResponseResult::kNoImpulse:
      return "no impulse response stands above the noise";
    case CaptureResponseResult::kRecordingRefused:
      return "the recording was refused on its replay";
  }
  return "it could not be analysed";
}

}  // namespace

std::vector<ImportedCapture> AnalyseCaptures(CQuorvelCore& core,
                                             const std::vector<std::string>& paths, double gateMs,
                                             const ImportProgress& progress) {
  const size_t total = paths.size();
  std::vector<ImportedCapture> imported;
  imported.reserve(total);
  if (progress && !progress(0, total)) return imported;
  CaptureAnalysisSetup setup;
  setup.gateMs = gateMs;
  bool stopped = false;
  AnalyseCapturesInOrder(core, paths, setup, [&](AnalysedCapture& capture) {
    ImportedCapture one;
    one.path = capture.path;
    one.live.fmin = capture.fmin;
    one.live.fmax = capture.fmax;
    one.live.levels = std::move(capture.liveLevels);
    one.warnings = std::move(capture.warnings);
    const std::string said = capture.messages.FirstWords();
    if (capture.trace) {
      one.trace = std::move(*capture.trace);
      one.ok = true;
      // what the load said of a file it still took ("could not find microphone")
      if (!said.empty()) one.warnings.push_back(said);
    } else if (!capture.traceRefusal.empty()) {
      one.failure = one.path + ": " + capture.traceRefusal;
    } else {
      one.failure = one.path + ": " + (said.empty() ? Reason(capture.result, capture.why) : said);
    }
    imported.push_back(std::move(one));
    if (imported.size() < total && progress && !progress(imported.size(), total)) {
      stopped = true;
      return false;
    }
    return true;
  });
  if (progress && !stopped) progress(total, total);
  return imported;
}

std::optional<Measurement> MeasureListCapture(CQuorvelCore& core, IUserMessages& messages,
                                              const std::string& path) {
  CaptureResponseRequest request;
  request.path = path;
  const Result<LoadedResponseCapture> loaded = ReadCaptureLeavingWindow(core, messages, request);
  if (!loaded) {
    if (!loaded.Message().empty()) messages.ShowMessage(loaded.Message());  // the range's
    return std::nullopt;
  }
  return MeasureLoadedCapture(messages, *loaded);
}

}  // namespace quorvel

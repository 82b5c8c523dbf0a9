#include "control/workbench/workbench_import.h"

#include <filesystem>
#include <utility>

#include "control/capture_response.h"
#include "control/quorvel_core.h"
#include "response/impulse_analysis.h"

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
    case CaptureResponseResult::kChartRefused:
      return "its microphone chart is not valid";
    case CaptureResponseResult::kNoImpulse:
      return "no impulse response stands above the noise";
    case CaptureResponseResult::kRecordingRefused:
      return "the recording was refused on its replay";
  }
  return "it could not be analysed";
}

ImportedCapture AnalyseOne(CQuorvelCore& core, const std::string& path, double gateMs) {
  ImportedCapture imported;
  imported.path = path;
  CaptureResponseRequest request;
  request.path = path;
  request.gateMs = gateMs;
  LoadedResponseCapture loaded;
  std::string why;
  CaptureResponseResult result = LoadCaptureForResponse(core, request, &loaded, &why);
  if (result == CaptureResponseResult::kOk) {
    CImpulseAnalysis analysis;
    result = AnalyzeCaptureResponse(core, loaded, gateMs, &analysis, &imported.warnings);
    if (result == CaptureResponseResult::kOk) {
      OrMessage<Trace> trace =
          TraceFromAnalysis(analysis, std::filesystem::path(path).stem().string());
      if (!trace.Ok()) {
        imported.failure = path + ": " + trace.Message();
        return imported;
      }
      imported.trace = std::move(trace).Value();
      imported.ok = true;
      return imported;
    }
  }
  imported.failure = path + ": " + Reason(result, why);
  return imported;
}

}  // namespace

std::vector<ImportedCapture> AnalyseCaptures(CQuorvelCore& core,
                                             const std::vector<std::string>& paths, double gateMs,
                                             const ImportProgress& progress) {
  std::vector<ImportedCapture> imported;
  imported.reserve(paths.size());
  for (const std::string& path : paths) {
    if (progress && !progress(imported.size(), paths.size())) return imported;
    imported.push_back(AnalyseOne(core, path, gateMs));
  }
  if (progress) progress(imported.size(), paths.size());
  return imported;
}

}  // namespace quorvel

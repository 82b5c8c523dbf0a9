#include "control/captures/response_view_files.h"

#include "base/atomic_file.h"
#include "control/captures/response_files.h"
#include "control/run/failure_words.h"
#include "response/decay_spectrum.h"
#include "response/group_delay.h"
#include "response/step_response.h"

namespace quorvel {

namespace {

Result<void> SaveText(const std::string& path, const std::string& text) {
  // an analysis without a result has nothing to write: no empty file stands in for it
  if (text.empty()) return Failure{kMsgCannotSaveFile};
  const Result<void> whole = WriteWholeFile(path, text.data(), text.size());
  if (whole) return {};
  return Failure{WithWords(kMsgCannotSaveFile, whole.Message())};
}

}  // namespace

Result<void> SaveGroupDelayCsv(const std::string& path, const CImpulseAnalysis& analysis) {
  const std::string text =
      analysis.HasResult() ? FormatGroupDelayCsv(GroupDelayRows(analysis)) : std::string();
  return SaveText(path, text);
}

Result<void> SaveStepCsv(const std::string& path, const CImpulseAnalysis& analysis) {
  const std::string text =
      analysis.HasResult() ? FormatStepCsv(StepResponse(analysis)) : std::string();
  return SaveText(path, text);
}

Result<void> SaveDecayCsv(const std::string& path, const CImpulseAnalysis& analysis) {
  const std::string text =
      analysis.HasResult() ? FormatDecayCsv(CumulativeDecay(analysis)) : std::string();
  return SaveText(path, text);
}

}  // namespace quorvel

#include "control/captures/response_view_files.h"

#include "base/atomic_file.h"
#include "control/captures/response_files.h"
#include "control/run/failure_words.h"
#include "response/decay_spectrum.h"
#include "response/group_delay.h"
#include "response/step_response.h"

namespace quorvel {

namespace {

bool SaveText(const std::string& path, const std::string& text, std::string* failureWords) {
  std::string words;
  // an analysis without a result has nothing to write: no empty file stands in for it
  if (!text.empty() && WriteWholeFile(path, text.data(), text.size(), &words)) return true;
  if (failureWords != nullptr) *failureWords = WithWords(kMsgCannotSaveFile, words);
  return false;
}

}  // namespace

bool SaveGroupDelayCsv(const std::string& path, const CImpulseAnalysis& analysis,
                       std::string* failureWords) {
  const std::string text =
      analysis.HasResult() ? FormatGroupDelayCsv(GroupDelayRows(analysis)) : std::string();
  return SaveText(path, text, failureWords);
}

bool SaveStepCsv(const std::string& path, const CImpulseAnalysis& analysis,
                 std::string* failureWords) {
  const std::string text =
      analysis.HasResult() ? FormatStepCsv(StepResponse(analysis)) : std::string();
  return SaveText(path, text, failureWords);
}

bool SaveDecayCsv(const std::string& path, const CImpulseAnalysis& analysis,
                  std::string* failureWords) {
  const std::string text =
      analysis.HasResult() ? FormatDecayCsv(CumulativeDecay(analysis)) : std::string();
  return SaveText(path, text, failureWords);
}

}  // namespace quorvel

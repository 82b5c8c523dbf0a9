#include "control/captures/response_files.h"

#include <cstdint>
#include <vector>

#include "base/atomic_file.h"
#include "control/run/failure_words.h"
#include "response/noise_floor.h"
#include "response/response_export.h"

namespace quorvel {

namespace {

bool SaveBytes(const std::string& path, const void* data, std::size_t count,
               std::string* failureWords) {
  std::string words;
  // an analysis without a result has nothing to write: no empty file stands in for it
  if (count > 0 && WriteWholeFile(path, data, count, &words)) return true;
  if (failureWords != nullptr) *failureWords = WithWords(kMsgCannotSaveFile, words);
  return false;
}

}  // namespace

bool SaveFrd(const std::string& path, const CImpulseAnalysis& analysis, std::string* failureWords) {
  const std::string text = FormatFrd(analysis);
  return SaveBytes(path, text.data(), text.size(), failureWords);
}

bool SaveImpulseWav(const std::string& path, const CImpulseAnalysis& analysis,
                    std::string* failureWords) {
  const std::vector<uint8_t> bytes = ImpulseWavBytes(analysis);
  return SaveBytes(path, bytes.data(), bytes.size(), failureWords);
}

bool SaveDistortionCsv(const std::string& path, const CImpulseAnalysis& analysis,
                       std::string* failureWords) {
  if (!analysis.HasResult()) return SaveBytes(path, nullptr, 0, failureWords);
  // the recording's noise floor as the last column, on the harmonics' scale
  const std::vector<DistortionRow> rows = analysis.DistortionRows();
  const std::string text = FormatDistortionCsv(rows, DistortionNoiseDb(analysis, rows));
  return SaveBytes(path, text.data(), text.size(), failureWords);
}

}  // namespace quorvel

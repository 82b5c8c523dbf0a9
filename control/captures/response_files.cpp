#include "control/captures/response_files.h"

#include <cstdint>
#include <vector>

#include "base/atomic_file.h"
#include "control/run/failure_words.h"
#include "response/noise_floor.h"
#include "response/response_export.h"

namespace quorvel {

namespace {

Result<void> SaveBytes(const std::string& path, const void* data, std::size_t count) {
  // an analysis without a result has nothing to write: no empty file stands in for it
  if (count == 0) return Failure{kMsgCannotSaveFile};
  const Result<void> whole = WriteWholeFile(path, data, count);
  if (whole) return {};
  return Failure{WithWords(kMsgCannotSaveFile, whole.Message())};
}

}  // namespace

Result<void> SaveFrd(const std::string& path, const CImpulseAnalysis& analysis) {
  const std::string text = FormatFrd(analysis);
  return SaveBytes(path, text.data(), text.size());
}

Result<void> SaveImpulseWav(const std::string& path, const CImpulseAnalysis& analysis) {
  const std::vector<uint8_t> bytes = ImpulseWavBytes(analysis);
  return SaveBytes(path, bytes.data(), bytes.size());
}

Result<void> SaveDistortionCsv(const std::string& path, const CImpulseAnalysis& analysis) {
  if (!analysis.HasResult()) return SaveBytes(path, nullptr, 0);
  // the recording's noise floor as the last column, on the harmonics' scale
  const std::vector<DistortionRow> rows = analysis.DistortionRows();
  const std::string text = FormatDistortionCsv(rows, DistortionNoiseDb(analysis, rows));
  return SaveBytes(path, text.data(), text.size());
}

}  // namespace quorvel

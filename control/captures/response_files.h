#pragma once
// The files of an impulse-response analysis, saved as every other file Quorvel writes: whole or
// not at all (base/atomic_file.h). Both front ends save through these.
#include <string>

#include "base/messages.h"
#include "base/result.h"
#include "response/impulse_analysis.h"

namespace quorvel {

// Each writes its file for an analysis with a result (response/response_export.h has the
// formats); it fails when nothing was written, with kMsgCannotSaveFile and, on a second line,
// the path and the system's reason
// ("/data/speaker.frd: No space left on device"). An analysis without a result writes nothing.
// User-interface thread (or quorvel-cli's main thread).

// The FRD text: level and phase every 1/48 octave, gated as the analysis is set.
[[nodiscard]] Result<void> SaveFrd(const std::string& path, const CImpulseAnalysis& analysis);
// The linear impulse response: a 32-bit float mono WAV at 48000 Hz, 500 ms, peak at 10 ms.
[[nodiscard]] Result<void> SaveImpulseWav(const std::string& path,
                                          const CImpulseAnalysis& analysis);
// The distortion CSV, one line per 1/12 octave from fmin, with the recording's noise floor as
// its last column (noise_db).
[[nodiscard]] Result<void> SaveDistortionCsv(const std::string& path,
                                             const CImpulseAnalysis& analysis);

}  // namespace quorvel

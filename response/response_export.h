#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "response/impulse_analysis.h"

namespace quorvel {

// The files of an impulse-response analysis, as the text or bytes to write; the caller writes
// them through the atomic file writer. Every number is written with a decimal point, whatever
// the locale. All of them are empty when the analysis has no result.

// The frequencies of the FRD lines: every 1/48 octave from fmin, then fmax itself when that
// step does not land on it (480 lines for 20-20000 Hz).
[[nodiscard]] std::vector<double> FrdFrequencies(double fmin, double fmax);

// The FRD text crossover design tools read: comment lines beginning with "*" (what, range,
// gate and where it is valid, time reference, scale, microphone), then "frequency_hz level_db
// phase_deg" lines.
[[nodiscard]] std::string FormatFrd(const CImpulseAnalysis& analysis);

// The linear impulse response as a WAV file: 32-bit float, mono, 48000 Hz, 500 ms, its peak
// sample 10 ms (480 samples) from the start; ungated.
[[nodiscard]] std::vector<uint8_t> ImpulseWavBytes(const CImpulseAnalysis& analysis);

// The distortion CSV: the header line
// "frequency_hz,fundamental_db,h2_db,h3_db,h4_db,h5_db,thd_percent", then one line per row,
// a field left empty where its value is absent (k f above fmax).
[[nodiscard]] std::string FormatDistortionCsv(const std::vector<DistortionRow>& rows);
// The same with a last column "noise_db": noiseDb[i] for row i (response/noise_floor.h), empty
// where it is absent. Without noise levels (an empty noiseDb) the text is the one above.
[[nodiscard]] std::string FormatDistortionCsv(const std::vector<DistortionRow>& rows,
                                              const std::vector<double>& noiseDb);

}  // namespace quorvel

#pragma once
// The workbench's exports: traces as FRD files (one each, named after the trace) and the shown
// traces as one CSV on their common 1/48-octave grid, each written whole or not at all. Plain
// C++; user-interface thread.
#include <string>

#include <vector>
#include "base/result.h"

#include "measurement/trace.h"

namespace quorvel {

// The file name of a trace's FRD: its name (unique among the traces exported) with "/" and
// NUL, which Linux refuses in a name, as "-", and ".frd" after it; "trace.frd" for no name.
[[nodiscard]] std::vector<std::string> FrdFileNames(const std::vector<Trace>& traces);

// Writes each trace as FormatTraceFrd into folder; the paths written in *written, and one line
// ("<path>: <reason>") for each that was not in *failures. True when all were written.
[[nodiscard]] bool ExportTracesFrd(const std::vector<Trace>& traces, const std::string& folder,
                                   std::vector<std::string>* written,
                                   std::vector<std::string>* failures);

// Writes the traces' overlay CSV (FormatOverlayCsv) to path, their names made unique
// (UniqueTraceNames); else its failure (no common range, or the file's failure).
[[nodiscard]] Result<void> ExportOverlayCsv(const std::vector<Trace>& traces,
                                            const std::string& path);

// A live curve as the "Live curve" view shows it: its points at their own frequencies (moved by
// the measurement's offset; a gap NaN), named as the list names its measurement.
struct NamedLiveCurve {
  std::string name;
  std::vector<double> frequenciesHz;
  std::vector<double> levelsDb;
};

// Why the "Live curve" view writes no FRD: a live curve has no phase, and an FRD's phase column
// is read as measured by the tools that sum responses; the Level and Phase views export the same
// measurements with the phase of their impulse responses.
inline constexpr char kMsgLiveCurvesNoFrd[] =
    "The live curves have no phase to write in an FRD file.\nExport FRD from the Level or Phase "
    "view: it writes the same measurements with their measured phase.";

// The live curves as one CSV, each on its own frequencies: a header "NAME1 frequency_hz,NAME1
// level_db,NAME2 frequency_hz,..." (names made unique, quoted as CSV quotes them), then one line
// per point, frequencies to 4 decimals and levels in dB to 3; a gap, or a curve with fewer
// points, leaves its two fields empty.
[[nodiscard]] std::string FormatLiveCurvesCsv(const std::vector<NamedLiveCurve>& curves);

// Writes FormatLiveCurvesCsv to path, whole or not at all; else the file's failure.
Result<void> ExportLiveCurvesCsv(const std::vector<NamedLiveCurve>& curves,
                                 const std::string& path);

}  // namespace quorvel

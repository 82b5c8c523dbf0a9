#pragma once
// The workbench's exports: traces as FRD files (one each, named after the trace) and the shown
// traces as one CSV on their common 1/48-octave grid, each written whole or not at all. Plain
// C++; user-interface thread.
#include <string>
#include <vector>

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
// (UniqueTraceNames); false with *failureWords (no common range, or the file's failure).
[[nodiscard]] bool ExportOverlayCsv(const std::vector<Trace>& traces, const std::string& path,
                                    std::string* failureWords);

}  // namespace quorvel

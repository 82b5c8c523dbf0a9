#pragma once

// What quorvel-cli's commands over several captures (overlay, average) share: their common
// options, the files they write (checked together before anything is analysed) and the summary
// they print when no file is asked for.
#include <span>
#include <string>
#include <vector>

#include "measurement/trace.h"

namespace quorvel {

class CliOptions;
class CCommandFiles;

// --gate MS (a finite number >= 0) and --smooth N (0 or 1/N octave, up to 1/96): kExitOk, or
// the bad-arguments status after the usage error.
[[nodiscard]] int ReadTraceOptions(const CliOptions& options, const char* usage, double* gateMs,
                                   int* smoothingBands);

// The captures as inputs and --csv, --png and --frd (those the command has) as outputs, each
// with a bound of its size for `traces` columns.
void AddTraceCommandFiles(const CliOptions& options, std::size_t columns, CCommandFiles* files);

// Where --png goes: ".png" appended when its name lacks it, as analyze's pictures get it.
[[nodiscard]] std::string PicturePath(const CliOptions& options);

// A picture's title: what it shows, its smoothing and gate ("Level, 1/6 octave, gated 5 ms").
[[nodiscard]] std::string PictureTitle(const std::string& what, int smoothingBands, double gateMs);

// Writes text to path whole or not at all; false after naming the failure on stderr
// (kMsgCannotSaveFile and, on a second line, the path and the reason).
[[nodiscard]] bool SaveTraceText(const std::string& path, const std::string& text);

// The summary line of a trace: "NAME: 20.00-20000.00 Hz, at 1 kHz: -7.52 dB" (or "at 1 kHz:
// outside the range").
[[nodiscard]] std::string TraceSummary(const Trace& trace);

}  // namespace quorvel

#pragma once

#include <cstdio>
#include <string>

namespace quorvel {

class CliOptions;
class CQuorvelCore;

// Opens path for writing as fopen(path, "w") does, but without waiting: a named pipe that no
// program reads is refused (null) rather than blocking the command until one does.
[[nodiscard]] std::FILE* OpenForWritingNow(const std::string& path);

// Writes a curve as CSV: the header "index,frequency_hz,level_db", then one line per stored
// point k with its frequency PointFrequency(k, fmin, fmax) in %.6f and its level in %.4f, with
// a decimal point whatever the locale. False when the file cannot be written completely, and at
// once for a named pipe that no program reads (it is never waited for).
[[nodiscard]] bool WriteCurveCsv(const std::string& path, const double* levelsDb, int count,
                                 double fmin, double fmax);

// The curve outputs a command was asked for, from the core's curve measured over fmin..fmax:
// --csv FILE (WriteCurveCsv), --png FILE and --bmp FILE (the graph as the window shows it,
// 1065 x 455 pixels, its extension added when missing). needCurveOnScreen: a picture is refused
// with "No Response Curve on screen" when no point lies above -90 dB. False after a message on
// stderr. Main thread, while no measurement feeds the curve.
[[nodiscard]] bool WriteCurveOutputs(const CliOptions& options, CQuorvelCore& core, double fmin,
                                     double fmax, bool needCurveOnScreen);

// The closing lines every curve command prints on stdout: the first and the last stored point,
// "first point: F Hz L dB" and "last point: F Hz L dB" (nothing for an empty curve).
void PrintCurveEnds(CQuorvelCore& core, double fmin, double fmax);

}  // namespace quorvel

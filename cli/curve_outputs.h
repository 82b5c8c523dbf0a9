#pragma once

#include <string>

#include "control/settings/spl_calibration.h"
#include "measurement/measurement.h"

namespace quorvel {

class CliOptions;
class CQuorvelCore;

// A curve as CSV: the header "index,frequency_hz,level_db", then one line per entry k with its
// frequency fmin*(fmax/fmin)^(k/gridSteps) (PointFrequency for a measured curve) in %.6f and its
// level in %.4f, with a decimal point whatever the locale.
[[nodiscard]] std::string CurveCsvText(const double* levelsDb, int count, double fmin, double fmax,
                                       int gridSteps = 1000);

// Writes a measured curve's CurveCsvText. The file is written whole or not at all (CAtomicFile: an
// earlier file stays unless the new one is complete; a named pipe is written into, and one that
// no program reads is refused at once). False with the path and the system's reason in
// *failureWords.
[[nodiscard]] bool WriteCurveCsv(const std::string& path, const double* levelsDb, int count,
                                 double fmin, double fmax, std::string* failureWords,
                                 const SplScale& scale = {});

// The curve outputs a command was asked for, from the core's curve measured over fmin..fmax:
// --csv FILE (WriteCurveCsv), --png FILE and --bmp FILE (the graph as the window shows it,
// 1065 x 455 pixels, its extension added when missing). needCurveOnScreen: a picture is refused
// with "No Response Curve on screen" when no point lies above -90 dB. Every output is tried;
// each that fails is named on stderr with the reason on a second line, and the result is
// false. Main thread, while no measurement feeds the curve.
[[nodiscard]] bool WriteCurveOutputs(const CliOptions& options, CQuorvelCore& core, double fmin,
                                     double fmax, bool needCurveOnScreen,
                                     const SplScale& scale = {});

// The same outputs of a Measurement's curve: its levels over its range, the picture with its
// caption, as the window shows it after its replay.
[[nodiscard]] bool WriteCurveOutputs(const CliOptions& options, const Measurement& measurement,
                                     bool needCurveOnScreen, const SplScale& scale = {});

// The closing lines every curve command prints on stdout: the first and the last stored point,
// "first point: F Hz L dB" and "last point: F Hz L dB" (nothing for an empty curve).
// With an SPL scale the CSV's and these lines' levels are in dB SPL (SplOfCurveLevel), the CSV's
// header "index,frequency_hz,level_db_spl"; the pictures keep the graph's dB of full scale.
void PrintCurveEnds(CQuorvelCore& core, double fmin, double fmax, const SplScale& scale = {});
void PrintCurveEnds(const Measurement& measurement, const SplScale& scale = {});

}  // namespace quorvel

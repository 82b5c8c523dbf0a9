#pragma once
// What quorvel-cli eq is asked for: the target, the fit's options and the gate, from its
// arguments, and a target file read by the chart rules.
#include <string>

#include "eq/eq_fit.h"

namespace quorvel {

class CliOptions;

struct EqArguments {
  EqTarget target;         // flat, a house curve (--bass-rise/--bass-corner, --tilt) or a file's
  std::string targetPath;  // --target FILE; empty: flat or a house curve
  EqFitOptions fit;
  bool matchGiven = false;  // --match F1,F2; else 30 Hz-10 kHz within the capture's range
  double gateMs = 0.0;
};

// The arguments read and checked: false with the reason (a bad-arguments error) in *error.
// --filters N is 1 to 20 peaking filters, --max-boost 0 to 6 dB, --smooth N 1/N octave (1 to
// 48), --match the two ends in Hz; --bass-rise and --bass-corner go together, and a house curve
// takes no --target FILE.
[[nodiscard]] bool ReadEqArguments(const CliOptions& options, EqArguments* arguments,
                                   std::string* error);

// The match range within the capture's range fmin..fmax [Hz]: the one given must lie inside
// it, the default is cut to it. False with the reason in *error.
[[nodiscard]] bool FitMatchRange(double fmin, double fmax, EqArguments* arguments,
                                 std::string* error);

// The target file's "frequency level" lines as the target's points, read with a calibration
// chart's rules (its comments, decimal commas, at most 2000 points); its levels may be absolute,
// as the target is moved to the trace's level. False with the reason in *error when the file
// cannot be read or holds no usable curve.
[[nodiscard]] bool ReadEqTargetFile(const std::string& path, EqTarget* target, std::string* error);

}  // namespace quorvel

#pragma once
// What quorvel-cli eq is asked for: the target, the fit's options and the gate, from its
// arguments (a target file is read by control/eq_design.h's ReadEqTargetFile).
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

}  // namespace quorvel

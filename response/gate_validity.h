#pragma once

// Where a gated response stops being valid: a gate of T seconds holds too little of a period
// below about 1 / T to show its level (a 5 ms gate: 200 Hz), and lets the room in above it.
#include <string>

namespace quorvel {

// The lowest frequency a gate of gateMs (as applied) is valid for [Hz]: 1000 / gateMs; 0 for no
// gate (0 ms or less, or not a number).
[[nodiscard]] double GateValidFromHz(double gateMs);

// "valid above 200 Hz" (whole hertz; tenths below 10 Hz; at most 24000 Hz), for the plots'
// label; empty for no gate.
[[nodiscard]] std::string GateValidityText(double gateMs);

// The FRD's comment line for it: "* Gated response valid above 200 Hz (1 / gate); the lines
// below it are kept\n"; empty for no gate.
[[nodiscard]] std::string GateValidityComment(double gateMs);

}  // namespace quorvel

#pragma once

#include <span>
#include <string>
#include <vector>

#include "graph/plot_trace.h"

namespace quorvel {

// The reading cursor of a workbench plot: every visible trace's level at one frequency and its
// difference to a chosen reference trace. Texts are written with a decimal point whatever the
// locale.

struct CursorValue {
  size_t trace = 0;           // index into the traces read
  double levelDb = 0.0;       // NaN where the trace has no level at the frequency
  double differenceDb = 0.0;  // level minus the reference's; NaN when there is none
  bool isReference = false;
};

struct CursorReadout {
  double frequencyHz = 0.0;
  std::vector<CursorValue> values;  // the visible traces, in their order
};

// Reads the visible traces at frequencyHz (interpolated over log frequency). reference is the
// index of the reference trace; differences are given only when it is visible and has a level
// there (-1: no reference).
[[nodiscard]] CursorReadout ReadCursor(std::span<const PlotTrace> traces, double frequencyHz,
                                       int reference);

// "1.23 kHz", "85.2 Hz": three significant digits.
[[nodiscard]] std::string CursorFrequencyText(double hz);
// "-3.4 dB", or "--" where there is no level; with the difference to the reference after it
// when there is one: "-1.2 dB (+2.2)".
[[nodiscard]] std::string CursorValueText(const CursorValue& value);
// The whole readout on one line: "1.23 kHz: A -3.4 dB, B -1.2 dB (+2.2)".
[[nodiscard]] std::string CursorReadoutText(std::span<const PlotTrace> traces,
                                            const CursorReadout& readout);

}  // namespace quorvel

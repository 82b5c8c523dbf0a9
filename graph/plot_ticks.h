#pragma once

#include <functional>
#include <string>
#include <vector>

#include "graph/plot_view.h"

namespace quorvel {

// The grid lines and labels of a workbench plot, which follow its zoom with round steps. Labels
// are written with a decimal point whatever the locale.

struct PlotTick {
  double value = 0.0;  // [Hz], [dB] or [degrees]
  double pixel = 0.0;  // x of a frequency, y of a level or phase [logical pixels]
  bool major = false;  // a decade line of the frequency axis
  std::string label;   // empty: a line without a label
};

// The level step [dB] of a range low..high: the finest of 0.1, 0.2, 0.5, 1, 2, 5, 10 and 20 dB
// whose multiples within the range are at most 12 lines (20 dB for wider ranges).
[[nodiscard]] double LevelStepDb(double lowDb, double highDb);

// The level lines of the view at every multiple of LevelStepDb within its range, bottom first.
// All carry labels ("-12", "-3.5"), unless they stand closer than labelHeight + 2 pixels: then
// only those at multiples of 2, 5 or 10 steps (the least of these that leaves room) do.
[[nodiscard]] std::vector<PlotTick> LevelTicks(const CPlotView& view, const PlotArea& area,
                                               double labelHeight);

// The phase lines likewise, with steps of 1, 2, 5, 10, 15, 30, 45 or 90 degrees.
[[nodiscard]] std::vector<PlotTick> PhaseTicks(const CPlotView& view, const PlotArea& area,
                                               double labelHeight);

// The width of a label as the painter will draw it [logical pixels].
using LabelWidth = std::function<double(const std::string&)>;

// The frequency lines of the view, lowest first: the densest of these sets whose lines stand at
// least 8 pixels apart and at most one per 25 pixels of the width on average: the decades; 1, 2
// and 5 of each decade; every digit; then every 0.5, 0.2, 0.1, 0.05, ... of the decade's unit
// (2000, 2500, 3000, ... Hz) as the view narrows. The labels are the densest subset of those
// lines in the same order of sets whose labels keep labelGap pixels between each other; a label
// centred on its line that would reach outside labelLeft..labelRight is left out.
// "20", "200", "2k", "20k", "1.5k", "3.02k".
[[nodiscard]] std::vector<PlotTick> FrequencyTicks(const CPlotView& view, const PlotArea& area,
                                                   const LabelWidth& labelWidth, double labelGap,
                                                   double labelLeft, double labelRight);

// A frequency's label: in kHz with "k" from 1000 Hz, with at most six significant digits.
[[nodiscard]] std::string FrequencyLabel(double hz);

}  // namespace quorvel

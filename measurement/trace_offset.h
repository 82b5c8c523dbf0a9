#pragma once

// Level alignment of traces: the offsets [dB] that bring traces to a level at one frequency or
// to a mean level over a band, as the measurement list shows them, and the traces moved by them.
#include <span>
#include <string>
#include <vector>

#include "base/result.h"
#include "measurement/trace.h"

namespace quorvel {

// Where a trace's level is read: at one frequency (fromHz == toHz) or over a band.
struct LevelAnchor {
  double fromHz = 1000.0;
  double toHz = 1000.0;
};

// The trace's level at the anchor [dB]: at one frequency linear in log frequency between its
// points; over a band the mean of its levels in dB, each fraction of an octave weighing alike.
// Refused when the anchor does not lie within the trace's range (or is not a band from low to
// high).
[[nodiscard]] Result<double> AnchorLevelDb(const Trace& trace, LevelAnchor anchor);

// The offset for each trace that brings it to targetDb at the anchor.
[[nodiscard]] Result<std::vector<double>> OffsetsToLevel(std::span<const Trace> traces,
                                                         LevelAnchor anchor, double targetDb);
// The offset for each trace that brings it to the level traces[reference] has at the anchor
// (0 for the reference itself).
[[nodiscard]] Result<std::vector<double>> OffsetsToTrace(std::span<const Trace> traces,
                                                         std::size_t reference, LevelAnchor anchor);

// The trace with offsetDb added to its levels and its transfer scaled alike; trace.offsetDb
// adds it up, for the list and the FRD comment.
[[nodiscard]] Trace WithOffset(const Trace& trace, double offsetDb);

// An offset as the list shows it: "+2.30 dB", "-0.50 dB", "0.00 dB".
[[nodiscard]] std::string OffsetText(double offsetDb);

}  // namespace quorvel

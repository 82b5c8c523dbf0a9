#pragma once
// The analysis of an off-axis series' captures ("woofer hor 30.wav") into one series: each
// capture analysed as quorvel-cli's `response` analyses it, then gated on the 0 degree capture's
// time axis (measurement/polar_series.h). quorvel-cli polar and the window's Polar Series both
// read a series through this. Main thread, no measurement running.
#include <functional>
#include <string>
#include <vector>

#include "base/result.h"
#include "measurement/polar_series.h"

namespace quorvel {

class CQuorvelCore;

struct SeriesCapture {
  std::string path;
  PolarName name;
};

// The captures of a series in a folder: its files named as a series' (others passed over),
// sorted by name; at most `most`. Else the system's reason.
[[nodiscard]] Result<std::vector<SeriesCapture>> SeriesCapturesInFolder(const std::string& folder,
                                                                        size_t most);

// The 0 degree capture whose direct sound starts the gate: the horizontal one, else the
// vertical one; captures.size() when there is none.
[[nodiscard]] size_t ReferenceCapture(const std::vector<SeriesCapture>& captures);

// Called after each capture's response, in the order analysed (the reference first).
using PolarAnalysed = std::function<void(const PolarResponse& response)>;

// A series read from its captures, and what was noticed on the way.
struct AnalysedPolarSeries {
  PolarSeries series;
  std::vector<std::string> warnings;  // "PATH: ..."
};

// Analyses the captures (of one series, the 0 degree one among them) into one series: the range
// of the 0 degree capture, every capture gated at gateMs on its time axis, by plane then angle,
// the levels smoothed over 1/bands octave (0: none). A capture whose direct sound lies outside
// the gate's full weight, and the replay verdict's words, are warnings. A failure when a capture
// cannot be analysed (its message shown through the core's messages) or has another range,
// naming it.
[[nodiscard]] Result<AnalysedPolarSeries> AnalysePolarCaptures(
    CQuorvelCore& core, std::vector<SeriesCapture> captures, double gateMs, int bands,
    const PolarAnalysed& analysed = nullptr);

}  // namespace quorvel

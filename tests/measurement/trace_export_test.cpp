// The FRD and overlay CSV texts of traces: what their comments say, and their numbers.
#include "measurement/trace_export.h"

#include <gtest/gtest.h>

#include <sstream>

#include "measurement/trace_average.h"
#include "measurement/trace_offset.h"
#include "tests/measurement/take_support.h"

namespace quorvel {
namespace {

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

TEST(TraceExport, FrdNamesTheWaySourcesSmoothingAndPhaseAndCsvHasAColumnPerTrace) {
  const Trace left = takes::Curve("left", 20.0, 20000.0, [](double) { return -6.0; });
  const Trace right = takes::Curve("right, 2", 20.0, 20000.0, [](double) { return -8.0; });
  // measured with a loopback reference 1 ms (0.34 m) ahead: its FRD phase keeps the delay
  Trace woofer = takes::Curve("woofer", 250.0, 8000.0, [](double) { return -10.0; });
  woofer.phase = PhaseKind::kMeasured;
  woofer.phasesDeg.assign(woofer.frequenciesHz.size(), 0.0);
  woofer.timeReference = TimeReference{TimeReferenceKind::kLoopback, 1.0};
  woofer = WithOffset(woofer, 2.0);
  const std::vector<Trace> pair = {left, right};
  const struct {
    Trace trace;
    std::vector<std::string> comments;  // lines the comment holds
    const char* firstLine;
  } cases[] = {
      {AverageTraces(pair, AverageWay::kDbMean, {.smoothingBands = 6}).Value(),
       {"* Quorvel frequency response: dB mean of 2 traces (the mean of their smoothed levels in "
        "dB)",
        "* Source: left", "* Source: right, 2",
        "* Smoothing: 1/6 octave (power average over the band; levels only)",
        "* Phase: the minimum phase of the level (an average of levels has no phase of its own)"},
       "20.0000 -7.000 0.00"},
      {woofer,
       {"* Quorvel frequency response: level and phase of the linear impulse response",
        "* time reference: loopback, delay 1.000 ms (0.34 m)", "* Level offset: +2.00 dB",
        "* Smoothing: no smoothing"},
       "250.0000 -8.000 -90.00"},
  };
  for (const auto& c : cases) {
    const std::vector<std::string> lines = Lines(FormatTraceFrd(c.trace));
    const auto header = std::find(lines.begin(), lines.end(), "* frequency_hz level_db phase_deg");
    ASSERT_EQ(lines.end() - header - 1, static_cast<long>(c.trace.frequenciesHz.size()));
    for (const std::string& comment : c.comments) {
      EXPECT_NE(std::find(lines.begin(), header, comment), header) << comment;
    }
    EXPECT_EQ(header[1], c.firstLine);
  }
  const std::vector<Trace> shown = {left, right, woofer};
  const std::vector<std::string> csv = Lines(FormatOverlayCsv(shown).Value());
  ASSERT_EQ(csv.size(), FrdFrequencies(250.0, 8000.0).size() + 1);
  EXPECT_EQ(csv[0], "frequency_hz,left,\"right, 2\",woofer");
  EXPECT_EQ(csv[1], "250.0000,-6.000,-8.000,-8.000");
}

}  // namespace
}  // namespace quorvel

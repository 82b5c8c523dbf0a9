// The FRD and overlay CSV texts of traces: what their comments say, and their numbers.
#include "measurement/trace_export.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <sstream>

#include "measurement/trace_average.h"
#include "measurement/trace_offset.h"
#include "response/reference_timing.h"
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
      {*AverageTraces(pair, AverageWay::kDbMean, {.smoothingBands = 6}),
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
  const std::vector<std::string> csv = Lines(*FormatOverlayCsv(shown));
  ASSERT_EQ(csv.size(), FrdFrequencies(250.0, 8000.0).size() + 1);
  EXPECT_EQ(csv[0], "frequency_hz,left,\"right, 2\",woofer");
  EXPECT_EQ(csv[1], "250.0000,-6.000,-8.000,-8.000");
}

// A take timed from its loopback reference (the measurement 168 samples, 3.5 ms, after it): its
// trace names the delay, and its FRD gives the phases quorvel-cli's FRD of the analysis gives.
TEST(TraceExport, ALoopbackTakeKeepsItsDelayAndItsFrdPhaseIsTheAnalysisOwn) {
  auto audio = std::make_unique<CAudio>();
  const int length = audio->GenerateSweep(20.0, 20000.0);
  std::vector<int16_t> reference(static_cast<std::size_t>(length) + 12000, 0);
  std::vector<int16_t> measured(reference.size(), 0);
  for (int i = 0; i < length; ++i) {
    reference[static_cast<std::size_t>(i) + 4800] = static_cast<int16_t>(audio->Sweep()[i] / 2);
    measured[static_cast<std::size_t>(i) + 4968] = static_cast<int16_t>(audio->Sweep()[i] / 2);
  }
  CImpulseAnalysis heard, looped;
  ASSERT_EQ(heard.Analyze(measured.data(), measured.size(), 20.0, 20000.0), ResponseStatus::kOk);
  ASSERT_EQ(looped.Analyze(reference.data(), reference.size(), 20.0, 20000.0), ResponseStatus::kOk);
  heard.SetTimeReference(TimeFromReference(heard, looped));
  const Trace trace = *TraceFromAnalysis(heard, "tweeter");
  ASSERT_TRUE(trace.timeReference && trace.timeReference->kind == TimeReferenceKind::kLoopback);
  EXPECT_NEAR(trace.timeReference->delayMs, 3.5, 0.01);
  const std::vector<std::string> ours = Lines(FormatTraceFrd(trace));
  const std::vector<std::string> theirs = Lines(FormatFrd(heard));
  // the data rows, each as its three numbers (quorvel-cli writes a rounded zero as "-0.00")
  const auto rows = [](const std::vector<std::string>& lines) {
    std::vector<std::array<double, 3>> numbers;
    for (const std::string& line : lines) {
      std::istringstream row(line);
      std::array<double, 3> n{};
      if (line.empty() || line[0] == '*' || !(row >> n[0] >> n[1] >> n[2])) continue;
      numbers.push_back(n);
    }
    return numbers;
  };
  const std::vector<std::array<double, 3>> a = rows(ours), b = rows(theirs);
  ASSERT_EQ(a.size(), b.size());
  for (std::size_t k = 0; k < a.size(); ++k) {
    EXPECT_TRUE(a[k][0] == b[k][0] && a[k][1] == b[k][1]) << a[k][0] << " Hz";
    EXPECT_NEAR(std::remainder(a[k][2] - b[k][2], 360.0), 0.0, 0.011) << a[k][0] << " Hz";
  }
  EXPECT_NE(
      std::find(ours.begin(), ours.end(), "* time reference: loopback, delay 3.500 ms (1.20 m)"),
      ours.end());
}

}  // namespace
}  // namespace quorvel

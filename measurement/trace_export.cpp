#include "measurement/trace_export.h"

#include <cmath>

#include "base/number_text.h"
#include "measurement/trace_offset.h"
#include "measurement/trace_range.h"
#include "measurement/trace_smoothing.h"

namespace quorvel {

namespace {

constexpr double kSpeedOfSound = 343.0;  // [m/s]

// A name on one comment line: control characters become spaces.
std::string OneLine(const std::string& text) {
  std::string line = text;
  for (char& c : line) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = ' ';
  }
  return line;
}

std::string WayLine(const Trace& trace) {
  const TraceOrigin& o = trace.origin;
  const std::string count = std::to_string(o.sources.size());
  switch (o.way) {
    case TraceWay::kMeasured:
      return "level and phase of the linear impulse response";
    case TraceWay::kDbMean:
      return "dB mean of " + count + " traces (the mean of their smoothed levels in dB)";
    case TraceWay::kPowerMean:
      return "power mean of " + count + " traces (the RMS of their magnitudes)";
    case TraceWay::kDifference:
      return "difference of 2 traces (the first's level minus the second's)";
    case TraceWay::kVectorMean:
      break;
  }
  std::string line = "vector mean of " + count + " traces (the complex mean of their transfers), ";
  if (o.alignment == TraceAlignment::kNone) return line + "not aligned: each timed from its peak";
  line += o.alignment == TraceAlignment::kTimeReferences
              ? "aligned by their loopback time references"
              : "aligned by the cross-correlation of their impulse responses";
  return line;
}

std::string PhaseLine(const Trace& trace) {
  switch (trace.phase) {
    case PhaseKind::kMeasured:
      return "the linear impulse response's";
    case PhaseKind::kMinimum:
      return "the minimum phase of the level (an average of levels has no phase of its own)";
    case PhaseKind::kVectorMean:
      return "the aligned complex mean's";
    case PhaseKind::kDifference:
      return "the first source's phase minus the second's";
    case PhaseKind::kNone:
      break;
  }
  return "none (written as 0)";
}

std::string TimeReferenceLine(const Trace& trace) {
  if (!trace.timeReference) return "* Time reference: the impulse response's peak\n";
  const TimeReference& t = *trace.timeReference;
  if (t.kind == TimeReferenceKind::kLoopback) {
    return "* time reference: loopback, delay " + FormatFixed(t.delayMs, 3) + " ms (" +
           FormatFixed(t.delayMs / 1000.0 * kSpeedOfSound, 2) + " m)\n";
  }
  return "* Time reference: the impulse response's peak, " + FormatFixed(t.delayMs, 3) +
         " ms after the played signal (the devices' latency included)\n";
}

std::string PhaseText(double degrees) {
  double rounded = std::round(degrees * 100.0) / 100.0;
  if (rounded <= -180.0) rounded += 360.0;
  return FormatFixed(rounded + 0.0, 2);  // + 0.0: no "-0.00"
}

}  // namespace

std::string CsvField(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string quoted = "\"";
  for (const char c : text) {
    quoted += c;
    if (c == '"') quoted += '"';
  }
  return quoted + "\"";
}

std::string FormatTraceFrd(const Trace& trace) {
  std::string text = "* Quorvel frequency response: " + WayLine(trace) + "\n";
  text += "* Name: " + OneLine(trace.name) + "\n";
  for (std::size_t i = 0; i < trace.origin.sources.size(); ++i) {
    text += "* Source: " + OneLine(trace.origin.sources[i]);
    if (i < trace.origin.delaysSamples.size() && i > 0) {
      text += " (delay " +
              FormatFixed(std::round(trace.origin.delaysSamples[i] * 1000.0) / 1000.0 + 0.0, 3) +
              " samples after the first)";  // + 0.0: no "-0.000"
    }
    text += "\n";
  }
  text += "* Range: " + FormatFixed(trace.range.fminHz, 2) + "-" +
          FormatFixed(trace.range.fmaxHz, 2) + " Hz\n";
  if (trace.origin.way == TraceWay::kMeasured) {
    text += trace.gateMs > 0.0 ? "* Gate: " + FormatFixed(trace.gateMs, 2) + " ms after the peak\n"
                               : "* Gate: none\n";
  }
  text += "* Smoothing: " + SmoothingName(trace.smoothingBands) +
          (trace.smoothingBands > 0 ? " (power average over the band; levels only)\n" : "\n");
  text += "* Phase: " + PhaseLine(trace) + "\n";
  text += TimeReferenceLine(trace);
  if (trace.origin.way == TraceWay::kDifference) {
    text += "* Level: dB of the first trace's transfer relative to the second's\n";
  } else if (!trace.levelScale.empty()) {
    text += "* Level: " + OneLine(trace.levelScale) + "\n";
  } else {
    text +=
        "* Level: dB of the transfer from the played samples to the recorded samples (0 dB: the "
        "recording equals the played signal)\n";
  }
  if (trace.offsetDb != 0.0) text += "* Level offset: " + OffsetText(trace.offsetDb) + "\n";
  if (!trace.correctionName.empty()) {
    text += "* Microphone correction subtracted: " + OneLine(trace.correctionName) + "\n";
  }
  text += "* frequency_hz level_db phase_deg\n";
  const std::vector<double> timed = TimedPhasesDeg(trace);
  for (std::size_t k = 0; k < trace.frequenciesHz.size(); ++k) {
    const double f = trace.frequenciesHz[k];
    const double phase = timed.empty() ? 0.0 : timed[k];
    text +=
        FormatFixed(f, 4) + " " + FormatFixed(trace.levelsDb[k], 3) + " " + PhaseText(phase) + "\n";
  }
  return text;
}

Result<std::string> FormatOverlayCsv(std::span<const Trace> traces) {
  const Result<TraceRange> range = CommonRange(traces);
  if (!range.Ok()) return Failure{range.Message()};
  std::vector<Trace> columns;
  std::string text = "frequency_hz";
  for (const Trace& trace : traces) {
    columns.push_back(Resampled(trace, *range));
    text += "," + CsvField(trace.name);
  }
  text += "\n";
  const std::vector<double>& grid = columns.front().frequenciesHz;
  for (std::size_t k = 0; k < grid.size(); ++k) {
    text += FormatFixed(grid[k], 4);
    for (const Trace& column : columns) text += "," + FormatFixed(column.levelsDb[k], 3);
    text += "\n";
  }
  return text;
}

}  // namespace quorvel

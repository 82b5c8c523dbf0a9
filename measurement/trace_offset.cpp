#include "measurement/trace_offset.h"

#include <cmath>

#include "base/number_text.h"
#include "measurement/octave_smoothing.h"
#include "measurement/trace_range.h"

namespace quorvel {

namespace {

// Points per octave of the band's mean (trapezoids in log frequency).
constexpr double kBandPointsPerOctave = 192.0;

}  // namespace

Result<double> AnchorLevelDb(const Trace& trace, LevelAnchor anchor) {
  const double hair = 1e-9;
  if (trace.frequenciesHz.size() < 2 || !(anchor.fromHz <= anchor.toHz) ||
      anchor.fromHz < trace.range.fminHz * (1.0 - hair) ||
      anchor.toHz > trace.range.fmaxHz * (1.0 + hair)) {
    const std::string where = anchor.fromHz == anchor.toHz
                                  ? "at " + FormatGeneral(anchor.fromHz, 6) + " Hz"
                                  : "over " + RangeText({anchor.fromHz, anchor.toHz});
    return Failure{trace.name + " covers " + RangeText(trace.range) + ": its level " + where +
                   " is not known"};
  }
  const auto at = [&](double f) {
    return InterpolateLogFrequencyDb(trace.frequenciesHz, trace.levelsDb, f);
  };
  const double octaves = std::log2(anchor.toHz / anchor.fromHz);
  if (!(octaves > 0.0)) return at(anchor.fromHz);
  const int steps = static_cast<int>(std::ceil(octaves * kBandPointsPerOctave));
  double sum = 0.5 * (at(anchor.fromHz) + at(anchor.toHz));
  for (int i = 1; i < steps; ++i) sum += at(anchor.fromHz * std::exp2(octaves * i / steps));
  return sum / steps;
}

Result<std::vector<double>> OffsetsToLevel(std::span<const Trace> traces, LevelAnchor anchor,
                                           double targetDb) {
  std::vector<double> offsets;
  for (const Trace& trace : traces) {
    const Result<double> level = AnchorLevelDb(trace, anchor);
    if (!level.Ok()) return Failure{level.Message()};
    offsets.push_back(targetDb - *level);
  }
  return offsets;
}

Result<std::vector<double>> OffsetsToTrace(std::span<const Trace> traces, std::size_t reference,
                                           LevelAnchor anchor) {
  if (reference >= traces.size()) return Failure{"There is no reference trace to align to"};
  const Result<double> level = AnchorLevelDb(traces[reference], anchor);
  if (!level.Ok()) return Failure{level.Message()};
  Result<std::vector<double>> offsets = OffsetsToLevel(traces, anchor, *level);
  if (offsets.Ok()) {
    std::vector<double> values = *std::move(offsets);
    values[reference] = 0.0;
    return values;
  }
  return offsets;
}

Trace WithOffset(const Trace& trace, double offsetDb) {
  Trace moved = trace;
  for (double& level : moved.levelsDb) level += offsetDb;
  const double gain = std::pow(10.0, offsetDb / 20.0);
  for (std::complex<double>& t : moved.timing.transfer) t *= gain;
  for (double& s : moved.timing.impulse) s *= gain;
  moved.offsetDb += offsetDb;
  return moved;
}

std::string OffsetText(double offsetDb) {
  const double rounded = std::round(offsetDb * 100.0) / 100.0;
  if (rounded == 0.0) return "0.00 dB";
  return (rounded > 0.0 ? "+" : "") + FormatFixed(rounded, 2) + " dB";
}

}  // namespace quorvel

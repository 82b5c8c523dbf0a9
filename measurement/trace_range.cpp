#include "measurement/trace_range.h"

#include <algorithm>
#include <cmath>

#include "base/number_text.h"
#include "response/response_export.h"

namespace quorvel {

namespace {

constexpr double kPi = 3.14159265358979323846;

// Where frequencyHz lies among the grid's points: the index below it and the fraction of the
// step (in log frequency) past it.
struct GridPlace {
  std::size_t below = 0;
  double t = 0.0;
};

GridPlace PlaceOf(const std::vector<double>& grid, double frequencyHz) {
  if (grid.size() < 2 || frequencyHz <= grid.front()) return {0, 0.0};
  if (frequencyHz >= grid.back()) return {grid.size() - 2, 1.0};
  const auto upper = std::upper_bound(grid.begin(), grid.end(), frequencyHz);
  const std::size_t i = static_cast<std::size_t>(upper - grid.begin()) - 1;
  return {i, std::log(frequencyHz / grid[i]) / std::log(grid[i + 1] / grid[i])};
}

double Between(double a, double b, double t) {
  return a + t * (b - a);
}

// The phase [degrees] a fraction t from a to b along the shorter way round.
double PhaseBetween(double a, double b, double t) {
  return WrapPhaseDeg(a + t * WrapPhaseDeg(b - a));
}

std::complex<double> TransferBetween(std::complex<double> a, std::complex<double> b, double t) {
  const double level =
      Between(std::log(std::max(std::abs(a), 1e-300)), std::log(std::max(std::abs(b), 1e-300)), t);
  const double turn = std::remainder(std::arg(b) - std::arg(a), 2.0 * kPi);
  return std::polar(std::exp(level), std::arg(a) + t * turn);
}

}  // namespace

std::string RangeText(TraceRange range) {
  return FormatGeneral(range.fminHz, 6) + "-" + FormatGeneral(range.fmaxHz, 6) + " Hz";
}

Result<TraceRange> CommonRange(std::span<const Trace> traces, double fminHz, double fmaxHz) {
  if (traces.empty()) return Failure{"There is no trace to combine"};
  for (const Trace& trace : traces) {
    if (trace.frequenciesHz.size() < 2 || trace.levelsDb.size() != trace.frequenciesHz.size()) {
      return Failure{trace.name + " holds no response to combine"};
    }
  }
  std::size_t highestLow = 0, lowestHigh = 0;
  for (std::size_t i = 1; i < traces.size(); ++i) {
    if (traces[i].range.fminHz > traces[highestLow].range.fminHz) highestLow = i;
    if (traces[i].range.fmaxHz < traces[lowestHigh].range.fmaxHz) lowestHigh = i;
  }
  const TraceRange common{traces[highestLow].range.fminHz, traces[lowestHigh].range.fmaxHz};
  if (!(common.fminHz < common.fmaxHz)) {
    return Failure{"The traces have no frequency range in common: " + traces[highestLow].name +
                   " covers " + RangeText(traces[highestLow].range) + ", " +
                   traces[lowestHigh].name + " " + RangeText(traces[lowestHigh].range)};
  }
  const TraceRange asked{fminHz > 0.0 ? fminHz : common.fminHz,
                         fmaxHz > 0.0 ? fmaxHz : common.fmaxHz};
  // a hair of tolerance: a range typed as the common one's printed figures is the common one
  const double hair = 1e-9;
  if (!(asked.fminHz < asked.fmaxHz) || asked.fminHz < common.fminHz * (1.0 - hair) ||
      asked.fmaxHz > common.fmaxHz * (1.0 + hair)) {
    return Failure{"The range asked for, " + RangeText(asked) +
                   ", does not lie within the traces' common range, " + RangeText(common)};
  }
  return TraceRange{std::max(asked.fminHz, common.fminHz), std::min(asked.fmaxHz, common.fmaxHz)};
}

Trace Resampled(const Trace& trace, TraceRange range) {
  std::vector<double> grid = FrdFrequencies(range.fminHz, range.fmaxHz);
  if (grid == trace.frequenciesHz || trace.frequenciesHz.size() < 2) return trace;
  Trace out = trace;
  out.range = range;
  out.levelsDb.clear();
  out.phasesDeg.clear();
  out.timing.transfer.clear();
  const bool phases = trace.phasesDeg.size() == trace.frequenciesHz.size();
  const bool transfer = trace.timing.transfer.size() == trace.frequenciesHz.size();
  for (const double f : grid) {
    const auto [i, t] = PlaceOf(trace.frequenciesHz, f);
    out.levelsDb.push_back(Between(trace.levelsDb[i], trace.levelsDb[i + 1], t));
    if (phases)
      out.phasesDeg.push_back(PhaseBetween(trace.phasesDeg[i], trace.phasesDeg[i + 1], t));
    if (transfer) {
      out.timing.transfer.push_back(
          TransferBetween(trace.timing.transfer[i], trace.timing.transfer[i + 1], t));
    }
  }
  out.frequenciesHz = std::move(grid);
  return out;
}

}  // namespace quorvel

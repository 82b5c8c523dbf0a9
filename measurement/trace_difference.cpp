#include "measurement/trace_difference.h"

#include <array>

#include "measurement/trace_range.h"
#include "measurement/trace_smoothing.h"

namespace quorvel {

Result<Trace> DifferenceOfTraces(const Trace& a, const Trace& b, const DifferenceOptions& options) {
  const Result<int> smoothing = SmoothingBands(options.smoothingBands);
  if (!smoothing.Ok()) return Failure{smoothing.Message()};
  const std::array<Trace, 2> pair = {a, b};
  const Result<TraceRange> range = CommonRange(pair, options.fminHz, options.fmaxHz);
  if (!range.Ok()) return Failure{range.Message()};
  const Trace first = Resampled(Smoothed(a, options.smoothingBands), *range);
  const Trace second = Resampled(Smoothed(b, options.smoothingBands), *range);
  Trace out;
  out.name = options.name.empty() ? a.name + " - " + b.name : options.name;
  out.range = *range;
  out.frequenciesHz = first.frequenciesHz;
  out.smoothingBands = options.smoothingBands;
  out.origin.way = TraceWay::kDifference;
  out.origin.sources = {a.name, b.name};
  const std::size_t n = out.frequenciesHz.size();
  const bool phases = first.phasesDeg.size() == n && second.phasesDeg.size() == n;
  const bool transfers = first.timing.transfer.size() == n && second.timing.transfer.size() == n;
  out.phase = phases ? PhaseKind::kDifference : PhaseKind::kNone;
  for (std::size_t k = 0; k < n; ++k) {
    out.levelsDb.push_back(first.levelsDb[k] - second.levelsDb[k]);
    if (phases) out.phasesDeg.push_back(WrapPhaseDeg(first.phasesDeg[k] - second.phasesDeg[k]));
    if (transfers && std::abs(second.timing.transfer[k]) > 0.0) {
      out.timing.transfer.push_back(first.timing.transfer[k] / second.timing.transfer[k]);
    }
  }
  if (out.timing.transfer.size() != n) out.timing.transfer.clear();
  return out;
}

}  // namespace quorvel

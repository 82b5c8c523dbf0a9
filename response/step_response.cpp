#include "response/step_response.h"

#include <algorithm>
#include <cmath>

#include "base/number_text.h"
#include "response/impulse_analysis.h"

namespace quorvel {

std::vector<StepRow> StepResponse(const ImpulseResponse& response, double fromMs, double toMs) {
  std::vector<StepRow> rows;
  const double perMs = response.rate / 1000.0;
  if (!response.Usable() || !(fromMs <= toMs) || !(std::abs(fromMs) <= kMaxViewMs) ||
      !(std::abs(toMs) <= kMaxViewMs) || !((toMs - fromMs) * perMs < kMaxViewSamples)) {
    return rows;
  }
  // from the last sample at or before fromMs to the first at or after toMs, so that the rows
  // cover the whole span whatever the sub-sample time reference
  const long first = response.peakIndex +
                     static_cast<long>(std::floor(fromMs * perMs + response.peakFraction + 1e-9));
  const long last = response.peakIndex +
                    static_cast<long>(std::ceil(toMs * perMs + response.peakFraction - 1e-9));
  double sum = 0.0;
  const long size = static_cast<long>(response.samples.size());
  for (long n = 0; n < std::min(first, size); ++n)
    sum += response.samples[static_cast<std::size_t>(n)];
  for (long n = first; n <= last; ++n) {
    if (n >= 0 && n < size) sum += response.samples[static_cast<std::size_t>(n)];
    rows.push_back({response.TimeMs(n), sum});
  }
  return rows;
}

std::vector<StepRow> StepResponse(const CImpulseAnalysis& analysis, double toMs) {
  if (!analysis.HasResult() || !(std::abs(toMs) <= kMaxViewMs)) return {};
  return StepResponse(
      LinearImpulse(analysis, analysis.UngatedWindowMs() + 0.1, std::max(toMs, 0.0) + 0.1),
      kStepFromMs, toMs);
}

std::string FormatStepCsv(const std::vector<StepRow>& rows) {
  std::string text = "time_ms,amplitude\n";
  for (const StepRow& row : rows) {
    text += FormatFixed(row.timeMs, 4) + "," + FormatFixed(row.amplitude, 7) + "\n";
  }
  return text;
}

}  // namespace quorvel

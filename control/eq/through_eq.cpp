#include "control/eq/through_eq.h"

#include <algorithm>
#include <vector>

#include "engine/sweep_signal.h"
#include "eq/eq_prefilter.h"

namespace quorvel {

size_t ThroughEqFirstSample() {
  return static_cast<size_t>(48000 / 2 + kSyncBurstLength);
}

void ShapeSweepThroughEq(std::span<int16_t> signal, const EqFilterSet& set) {
  if (signal.size() <= ThroughEqFirstSample()) return;
  const std::span<int16_t> sweep = signal.subspan(ThroughEqFirstSample());
  const std::vector<int16_t> shaped = PrefilterSamples(sweep, 1, set);
  std::copy(shaped.begin(), shaped.end(), sweep.begin());
}

std::string ThroughEqName(const std::string& name) {
  return name + " + EQ";
}

}  // namespace quorvel

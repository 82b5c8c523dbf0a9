#include "eq/eq_prediction.h"

#include <cmath>
#include <complex>
#include <numbers>

namespace quorvel {

Trace PredictedTrace(const Trace& trace, const EqFilterSet& set) {
  std::vector<BiquadCoefficients> sections;
  for (const EqFilter& filter : set.filters) sections.push_back(MakeBiquad(filter));
  Trace out = trace;
  out.timing = {};
  for (size_t i = 0; i < out.frequenciesHz.size(); ++i) {
    std::complex<double> response = std::pow(10.0, set.preampDb / 20.0);
    for (const BiquadCoefficients& section : sections) {
      response *= BiquadResponse(section, out.frequenciesHz[i]);
    }
    out.levelsDb[i] += 20.0 * std::log10(std::abs(response));
    if (i < out.phasesDeg.size()) {
      out.phasesDeg[i] =
          WrapPhaseDeg(out.phasesDeg[i] + std::arg(response) * 180.0 / std::numbers::pi);
    }
  }
  return out;
}

}  // namespace quorvel

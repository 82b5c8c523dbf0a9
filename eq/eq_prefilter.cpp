#include "eq/eq_prefilter.h"

#include <algorithm>
#include <cmath>

namespace quorvel {

std::vector<int16_t> PrefilterSamples(std::span<const int16_t> interleaved, int channels,
                                      const EqFilterSet& set) {
  const auto channelCount = static_cast<size_t>(std::max(channels, 1));
  std::vector<BiquadCoefficients> sections;
  for (const EqFilter& filter : set.filters) sections.push_back(MakeBiquad(filter));
  const double preamp = std::pow(10.0, set.preampDb / 20.0);
  // Two state values per section and channel.
  std::vector<double> state(sections.size() * channelCount * 2, 0.0);
  std::vector<int16_t> out(interleaved.size());
  for (size_t n = 0; n < interleaved.size(); ++n) {
    const size_t channel = n % channelCount;
    double x = preamp * interleaved[n];
    for (size_t s = 0; s < sections.size(); ++s) {
      const BiquadCoefficients& c = sections[s];
      double* z = &state[(s * channelCount + channel) * 2];
      const double y = c.b0 * x + z[0];
      z[0] = c.b1 * x - c.a1 * y + z[1];
      z[1] = c.b2 * x - c.a2 * y;
      x = y;
    }
    out[n] = static_cast<int16_t>(std::clamp(std::round(x), -32768.0, 32767.0));
  }
  return out;
}

}  // namespace quorvel

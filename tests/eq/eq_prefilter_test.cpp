// The pre-filtered sweep: the filter set's biquads on real 16-bit signals.
#include "eq/eq_prefilter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace quorvel {
namespace {

using T = EqFilterType;

// A sine's RMS after the filters is its RMS times the set's gain at its frequency
// (the preamp included); each channel of an interleaved signal is filtered on its own.
TEST(EqPrefilter, SinesComeOutAtTheFilterSetsGain) {
  const EqFilterSet set = {-3.0,
                           {{T::kPeaking, 1000.0, -6.0, 2.0}, {T::kLowShelf, 100.0, 4.0, kShelfQ}}};
  for (const double hz : {50.0, 1000.0, 4000.0}) {
    std::vector<int16_t> stereo;
    for (int n = 0; n < 48000; ++n) {
      stereo.push_back(
          static_cast<int16_t>(std::lround(10000.0 * std::sin(2 * M_PI * hz * n / 48000.0))));
      stereo.push_back(static_cast<int16_t>(n % 7 == 0 ? 3000 : 0));
    }
    const std::vector<int16_t> out = PrefilterSamples(stereo, 2, set);
    // Over the second half second: whole periods of each sine, the filters settled.
    double inPower = 0.0, outPower = 0.0;
    std::vector<int16_t> second, secondIn;
    for (size_t n = 0; n < out.size(); n += 2) {
      if (n >= 48000) {
        inPower += static_cast<double>(stereo[n]) * stereo[n];
        outPower += static_cast<double>(out[n]) * out[n];
      }
      second.push_back(out[n + 1]);
      secondIn.push_back(stereo[n + 1]);
    }
    const double wantDb = set.preampDb + CascadeGainDb(set.filters, hz);
    EXPECT_NEAR(10.0 * std::log10(outPower / inPower), wantDb, 0.01) << hz << " Hz";
    EXPECT_EQ(PrefilterSamples(secondIn, 1, set), second);
  }
  // A boost beyond full scale clips to the 16-bit range.
  const EqFilterSet boost = {0.0, {{T::kHighShelf, 0.0, 6.0, kShelfQ}}};
  EXPECT_EQ(PrefilterSamples(std::vector<int16_t>(9, 30000), 1, boost),
            std::vector<int16_t>(9, 32767));
}

}  // namespace
}  // namespace quorvel

// The cookbook filters against their closed forms, and PipeWire 0.3.65's edge cases.
#include "eq/biquad.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace quorvel {
namespace {

using T = EqFilterType;

struct Known {
  EqFilter filter;
  double frequencyHz;
  double gainDb;
};

// A peaking filter has its gain at its centre and half of it (in dB) at the edges of its
// bandwidth, 2^(BW/2) either side, where Q = 2^(BW/2) / (2^BW - 1) (low frequencies, where
// the bilinear transform does not yet warp); a shelf has half its gain at its corner, all of
// it far on its side and none on the other. PipeWire's edges: a high shelf at 0 Hz is a plain
// gain, a low shelf there does nothing.
TEST(Biquad, GainsMatchTheClosedForms) {
  const double bw = 2.0 * std::asinh(1.0 / (2.0 * 1.4)) / M_LN2;  // Q 1.4 [octaves]
  const std::vector<Known> table = {
      {{T::kPeaking, 1000.0, -6.0, 2.0}, 1000.0, -6.0},
      {{T::kPeaking, 15000.0, -12.0, 0.5}, 15000.0, -12.0},
      {{T::kPeaking, 100.0, -8.0, 1.4}, 100.0 * std::exp2(bw / 2.0), -4.0},
      {{T::kPeaking, 100.0, -8.0, 1.4}, 100.0 / std::exp2(bw / 2.0), -4.0},
      {{T::kLowShelf, 200.0, -6.0, kShelfQ}, 200.0, -3.0},
      {{T::kLowShelf, 200.0, -6.0, kShelfQ}, 5.0, -6.0},
      {{T::kLowShelf, 200.0, -6.0, kShelfQ}, 20000.0, 0.0},
      {{T::kHighShelf, 5000.0, 4.0, kShelfQ}, 5000.0, 2.0},
      {{T::kHighShelf, 5000.0, 4.0, kShelfQ}, 23900.0, 4.0},
      {{T::kHighShelf, 0.0, -4.2, kShelfQ}, 30.0, -4.2},
      {{T::kHighShelf, 0.0, -4.2, kShelfQ}, 17000.0, -4.2},
      {{T::kLowShelf, 0.0, -4.2, kShelfQ}, 1000.0, 0.0}};
  for (const Known& k : table) {
    EXPECT_NEAR(FilterGainDb(k.filter, k.frequencyHz), k.gainDb, 0.02)
        << FilterTypeName(k.filter.type) << " " << k.filter.frequencyHz << " Hz at "
        << k.frequencyHz << " Hz";
  }
}

}  // namespace
}  // namespace quorvel

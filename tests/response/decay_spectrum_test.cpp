// The decay spectrum of a single resonance at 1 kHz whose poles have Q 10: its ringing decays by
// 8.686 pi f0 / Q dB a second (2.73 dB per ms), and so do the slices at 1 kHz.
#include "response/decay_spectrum.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "audio/sim/loudspeaker_model.h"

namespace quorvel {

namespace {

TEST(DecaySpectrum, ResonanceDecaysAtItsPolesRate) {
  CBiquad resonance = CBiquad::LowPass(1000.0, 10.0, 48000.0);  // poles at 1 kHz, Q 10
  ImpulseResponse ir;
  for (int n = 0; n < 48000; ++n) ir.samples.push_back(resonance.Process(n == 480 ? 1.0 : 0.0));
  ir.peakIndex = std::max_element(ir.samples.begin(), ir.samples.end()) - ir.samples.begin();
  ir.fmin = 125.0;
  ir.fmax = 20000.0;

  const DecaySpectrum csd = CumulativeDecay(ir);
  ASSERT_EQ(csd.startMs.size(), 31u);
  EXPECT_EQ(csd.startMs.back(), 10.0);
  EXPECT_EQ(*std::max_element(csd.levelDb[0].begin(), csd.levelDb[0].end()), 0.0);
  const size_t at = 144;  // 125 Hz x 2^(144/48): from the first slice to the last at 1 kHz
  ASSERT_DOUBLE_EQ(csd.frequencyHz[at], 1000.0);
  const double slope = (csd.levelDb.front()[at] - csd.levelDb.back()[at]) / 10.0;  // [dB/ms]
  const double expected = 8.686 * 3.14159265358979 * 1000.0 / 10.0 / 1000.0;
  EXPECT_NEAR(slope, expected, 0.2 * expected);
  std::printf("decay at 1 kHz %.3f dB/ms (poles: %.3f)\n", slope, expected);

  const std::string csv = FormatDecayCsv(csd);
  EXPECT_TRUE(csv.starts_with("time_ms,frequency_hz,level_db\n0.0000,125.0000,"));
  // 344 steps of the grid, then a sixth of an octave below 20 kHz, where the band ends
  EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 1 + 31 * 345);
  // beyond the limits, nothing: a day's span, a million slices
  EXPECT_TRUE(CumulativeDecay(ir, {.spanMs = 8.64e7}).levelDb.empty());
  EXPECT_TRUE(CumulativeDecay(ir, {.slices = 1000000}).levelDb.empty());
}

}  // namespace

}  // namespace quorvel

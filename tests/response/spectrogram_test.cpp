// The spectrogram of a single resonance at 1 kHz whose poles have Q 10: it starts at the peak,
// stays at 1 kHz and fades there by 8.686 pi f0 / Q dB a second (2.73 dB per ms).
#include "response/spectrogram.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "audio/sim/loudspeaker_model.h"

namespace quorvel {

namespace {

TEST(Spectrogram, ResonanceStartsAtThePeakAndFadesAtItsPolesRate) {
  CBiquad resonance = CBiquad::LowPass(1000.0, 10.0, 48000.0);
  ImpulseResponse ir;
  for (int n = 0; n < 4800; ++n) ir.samples.push_back(resonance.Process(n == 480 ? 1.0 : 0.0));
  ir.peakIndex = std::max_element(ir.samples.begin(), ir.samples.end()) - ir.samples.begin();
  ir.fmin = 125.0;
  ir.fmax = 20000.0;
  const Spectrogram map = ImpulseSpectrogram(ir);  // -5 .. 50 ms every 0.25 ms, 5 ms Hann
  ASSERT_EQ(map.timeMs.size(), 221u);
  ASSERT_EQ(map.levelDb.size(), map.timeMs.size() * map.frequencyHz.size());
  const auto time = [&](double ms) { return static_cast<size_t>(std::lround((ms + 5.0) / 0.25)); };
  const size_t khz = 72, four = 120;  // 125 Hz x 2^(72/24), x 2^(120/24)
  ASSERT_DOUBLE_EQ(map.frequencyHz[khz], 1000.0);
  const auto top = std::max_element(map.levelDb.begin(), map.levelDb.end()) - map.levelDb.begin();
  EXPECT_LE(std::abs(map.timeMs[static_cast<size_t>(top) / map.frequencyHz.size()]), 2.5);
  const double fade = (map.At(time(10.0), khz) - map.At(time(20.0), khz)) / 10.0;
  EXPECT_NEAR(fade, 2.729, 0.2 * 2.729);
  EXPECT_GT(map.At(time(20.0), khz), map.At(time(20.0), four) + 30.0);
  // beyond the limits, nothing: from a day before, 18334 windows of 1 s, from 1e-300 Hz
  EXPECT_TRUE(ImpulseSpectrogram(ir, {.fromMs = -8.64e7}).levelDb.empty());
  EXPECT_TRUE(ImpulseSpectrogram(ir, {.stepMs = 0.003, .windowMs = 1000.0, .pointsPerOctave = 1})
                  .levelDb.empty());
  ir.fmin = 1e-300;
  EXPECT_TRUE(ImpulseSpectrogram(ir).levelDb.empty());
}

}  // namespace

}  // namespace quorvel

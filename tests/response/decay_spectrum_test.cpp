// The decay spectrum of a single resonance at 1 kHz whose poles have Q 10: its ringing decays by
// 8.686 pi f0 / Q dB a second (2.73 dB per ms), and so do the slices at 1 kHz.
#include "response/decay_spectrum.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>

#include "audio/sim/loudspeaker_model.h"
#include "engine/audio_engine.h"
#include "response/impulse_analysis.h"

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
  // 348 steps of the grid, then a twelfth of an octave below 20 kHz, where the band ends
  EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 1 + 31 * 349);
  EXPECT_DOUBLE_EQ(csd.frequencyHz.back(), 20000.0 * std::exp2(-1.0 / 12.0));
  // beyond the limits, nothing: a day's span, a million slices
  EXPECT_TRUE(CumulativeDecay(ir, {.spanMs = 8.64e7}).levelDb.empty());
  EXPECT_TRUE(CumulativeDecay(ir, {.slices = 1000000}).levelDb.empty());
}

// As measured through the sweep, the built-in model's treble has died away 2 ms after the peak:
// the later slices hold nothing up there, not the ringing of the sweep's band limit at its top.
TEST(DecaySpectrum, LaterSlicesOfAMeasuredResponseHoldNoBandEdgeRinging) {
  auto audio = std::make_unique<CAudio>();
  const int length = audio->GenerateSweep(20.0, 20000.0);
  std::vector<int16_t> recording(static_cast<size_t>(length - 9601 + 3000));
  CLoudspeakerModel speaker(true);
  for (size_t n = 0; n < recording.size(); ++n) {
    const long at = static_cast<long>(n) - 1000;
    recording[n] = static_cast<int16_t>(
        speaker.Process(at >= 0 ? audio->Sweep()[at] / 32767.0 : 0.0) * 32768.0);
  }
  CImpulseAnalysis analysis;
  ASSERT_EQ(analysis.Analyze(recording.data(), recording.size(), 20.0, 20000.0),
            ResponseStatus::kOk);
  const DecaySpectrum csd = CumulativeDecay(analysis);
  ASSERT_EQ(csd.levelDb.size(), 31u);
  for (size_t s = 0; s < csd.levelDb.size(); ++s) {
    if (csd.startMs[s] < 2.0) continue;
    for (size_t i = 0; i < csd.frequencyHz.size(); ++i) {
      if (csd.frequencyHz[i] > 8000.0) {
        EXPECT_LT(csd.levelDb[s][i], -50.0) << csd.startMs[s] << " ms " << csd.frequencyHz[i];
      }
    }
  }
}

}  // namespace

}  // namespace quorvel

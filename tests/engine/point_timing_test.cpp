// The timing of the curve points: each point's block is centred on the instant the sweep passes
// the point's frequency, so a resonance shows at its own frequency.
#include "engine/point_timing.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <vector>

#include "audio/sim/loudspeaker_model.h"
#include "engine/audio_engine.h"
#include "tests/engine/engine_probe.h"
#include "tests/engine/engine_test_support.h"

namespace quorvel {

namespace {

using engine_test::CollectingListener;
using engine_test::PushSilence;

TEST(PointTiming, TheSkippedBlocksFollowTheLeadInOfTheLowerLimit) {
  struct Case {
    double fmin;
    int leadIn;   // [samples] one period of fmin
    int skipped;  // D
  };
  const Case cases[] = {
      {20.0, 2400, 4},
      {100.0, 480, 2},
      {40.0, 1200, 3},
      {2.0, 24000, 27},
      {7.0, 6857, 9},
      {2000.0, 24, 2},
      {1.9, 25263, 28},
      // no lead-in at all: above 48000 Hz, or a refused value
      {50000.0, 0, 2},
      {0.0, 0, 2},
      {-5.0, 0, 2},
      {NAN, 0, 2},
      // a lead-in longer than the signal buffer holds after the burst is cut there
      {0.01, 1208000, 1260},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(SweepLeadInSamples(c.fmin), c.leadIn) << c.fmin << " Hz";
    EXPECT_EQ(PointDelayBlocks(c.fmin), c.skipped) << c.fmin << " Hz";
  }
}

TEST(PointTiming, TheGeneratedSignalHoldsTheLeadInTheTimingCountsOn) {
  // The lead-in is what GenerateSweep writes between the silence after the burst and the sweep:
  // the sweep's first sample is 0 (phase 0), while the lead-in's last sample and the sweep's
  // second are not.
  for (double fmin : {20.0, 100.0, 7.0, 2.0}) {
    auto audio = std::make_unique<CAudio>();
    ASSERT_GT(audio->GenerateSweep(fmin, fmin * 1000.0), 0);
    EXPECT_EQ(CAudioProbe::PointDelayBlocks(*audio), PointDelayBlocks(fmin)) << fmin << " Hz";
    const int sweepStart = 72000 + SweepLeadInSamples(fmin);
    EXPECT_NE(audio->Sweep()[sweepStart - 1], 0) << fmin << " Hz";
    EXPECT_EQ(audio->Sweep()[sweepStart], 0) << fmin << " Hz";
    EXPECT_NE(audio->Sweep()[sweepStart + 1], 0) << fmin << " Hz";
  }
  // A refused range writes no lead-in.
  auto audio = std::make_unique<CAudio>();
  EXPECT_EQ(audio->GenerateSweep(1000.0, 500.0), 0);
  EXPECT_EQ(CAudioProbe::PointDelayBlocks(*audio), 2);
}

// The curve of the generated sweep of fmin..fmax, after `leadFrames` frames of silence (which
// move the burst within its block), passed through a peaking filter of +10 dB and Q 4 (a third
// of an octave wide) at peakHz. The
// sweep is played at a quarter of full scale, so the peak stays clear of clipping.
std::vector<double> CurveThroughResonance(double fmin, double fmax, double peakHz, int leadFrames) {
  CollectingListener listener;
  auto audio = std::make_unique<CAudio>(nullptr, &listener);
  const int length = audio->GenerateSweep(fmin, fmax);
  EXPECT_GT(length, 0);
  audio->ResetAnalysis();
  audio->SetSweepPlaying(true);
  PushSilence(*audio, leadFrames);
  CBiquad peak = CBiquad::Peak(peakHz, 4.0, 10.0, 48000.0);
  for (int i = 0; i < length; ++i) {
    const double x = 0.25 * audio->Sweep()[i] / 32768.0;
    const auto v = static_cast<int32_t>(std::lround(peak.Process(x) * 2147483647.0));
    audio->PushFrame(v, v);
  }
  return listener.Curve();
}

TEST(PointTiming, AResonanceIsDrawnAtItsOwnFrequency) {
  struct Case {
    double fmin;
    double fmax;
    double peakHz;
  };
  const Case cases[] = {
      {20.0, 20000.0, 200.0}, {20.0, 20000.0, 1000.0}, {20.0, 20000.0, 3000.0},
      {2.0, 2000.0, 200.0},   {2.0, 2000.0, 1000.0},
  };
  // The generated signal as it is, and after 240, 480 and 720 frames of silence, which move the
  // burst's onset to a quarter, half and three quarters of its block. The block that holds the
  // burst's detection ends up to a block after it, so a point's block may lie up to a block
  // before its frequency, and the resonance's own delay (about a third of a block at 200 Hz)
  // comes on top: the maximum stays within two points then. Left at the points 4.5 (20 Hz) or
  // 27 (2 Hz) blocks early, it would lie 4 or 27 points late.
  for (const Case& c : cases) {
    for (int leadFrames : {0, 240, 480, 720}) {
      SCOPED_TRACE(testing::Message() << c.fmin << ".." << c.fmax << " Hz, peak at " << c.peakHz
                                      << " Hz, " << leadFrames << " frames before the signal");
      const std::vector<double> curve = CurveThroughResonance(c.fmin, c.fmax, c.peakHz, leadFrames);
      ASSERT_EQ(curve.size(), 1001u);
      const auto highest = std::max_element(curve.begin(), curve.end()) - curve.begin();
      // The point whose frequency fmin * (fmax / fmin)^(k / 1000) is the peak's.
      const double nominal = 1000.0 * std::log(c.peakHz / c.fmin) / std::log(c.fmax / c.fmin);
      EXPECT_NEAR(static_cast<double>(highest), nominal, leadFrames == 0 ? 1.0 : 2.0);
      // The peak reads the filter's gain over the sweep's level (-12 dB of full scale).
      EXPECT_NEAR(curve[static_cast<size_t>(highest)], -12.04 + 10.0, 0.3);
    }
  }
}

}  // namespace

}  // namespace quorvel

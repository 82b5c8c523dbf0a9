// End to end: the generated signal fed straight back as captured frames (a perfect loopback)
// gives a flat curve of 1001 points, whatever the number of frames between two checks.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

#include "engine/audio_engine.h"
#include "tests/engine/engine_probe.h"
#include "tests/engine/engine_test_support.h"

namespace quorvel {

namespace {

using engine_test::CollectingListener;
using engine_test::To32;

constexpr int kBlock = 960;

struct LoopbackResult {
  std::vector<double> points;  // every AddPoint call
  int syncBlock = 0;  // block (from the start of the analysis) in which the burst was found
  int length = 0;     // signal length [samples]
};

// Feeds the whole signal of GenerateSweep(fmin, fmax) as frames s * 65536 * gain on both
// channels, `chunk` frames between two looks at the engine.
LoopbackResult RunLoopback(int chunk, double gain = 1.0, bool replay = false, double fmin = 20.0,
                           double fmax = 20000.0) {
  CollectingListener listener;
  auto audio = std::make_unique<CAudio>(nullptr, &listener);
  LoopbackResult result;
  result.length = audio->GenerateSweep(fmin, fmax);
  audio->ResetAnalysis();
  replay ? audio->SetFilePlaying(true) : audio->SetSweepPlaying(true);

  size_t lastCount = 0;
  for (int pos = 0; pos < result.length;) {
    const int end = std::min(pos + chunk, result.length);
    for (; pos < end; ++pos) {
      const int32_t v = To32(audio->Sweep()[pos], gain);
      audio->PushFrame(v, v);
    }
    // Between two packets: a capture thread would look for a reset request (there is none),
    // and the points only ever grow, one per completed block at most.
    audio->ServiceResetRequest();
    EXPECT_GE(listener.Points().size(), lastCount);
    EXPECT_LE(listener.Points().size(), lastCount + static_cast<size_t>(chunk / kBlock + 1));
    lastCount = listener.Points().size();
    const int fill = CAudioProbe::BlockFill(*audio).load();
    EXPECT_TRUE(fill >= 0 && fill < kBlock) << fill;
    EXPECT_EQ(fill, pos % kBlock);
  }
  result.points = listener.Points();
  // Blocks from the sync on.
  result.syncBlock = result.length / kBlock - CAudioProbe::BlocksSinceSync(*audio) + 1;
  return result;
}

double Spread(const std::vector<double>& points, int from, int to) {
  const auto [lo, hi] = std::minmax_element(points.begin() + from, points.begin() + to + 1);
  return *hi - *lo;
}

TEST(LoopbackTest, PerfectLoopbackGivesAFlatCurveOf1001Points) {
  const LoopbackResult result = RunLoopback(4096);
  // One point per block from the 52nd block after the sync block (48 settling blocks and the 4
  // that a 20 Hz sweep skips) to the end of the signal; the curve keeps the first 1001.
  const int blocks = result.length / kBlock;
  ASSERT_EQ(static_cast<int>(result.points.size()), blocks - (result.syncBlock + 52) + 1);
  ASSERT_GE(result.points.size(), 1001u);
  const std::vector<double> curve(result.points.begin(), result.points.begin() + 1001);
  EXPECT_EQ(curve.size(), 1001u);
  // Over the middle of the range every point reads the sweep's full-scale peak, 32767/32768.
  const double fullScaleDb = 20.0 * std::log10(32767.0 / 32768.0);
  EXPECT_LT(Spread(curve, 50, 950), 0.05);
  for (int k = 50; k <= 950; ++k) ASSERT_NEAR(curve[k], fullScaleDb, 0.05) << "point " << k;
  // The sweep's whole course, from just after its start to its end, stays within 0.2 dB.
  EXPECT_LT(Spread(curve, 5, 1000), 0.2);
}

TEST(LoopbackTest, AttenuatedLoopbackReadsTheAttenuation) {
  const LoopbackResult result = RunLoopback(4096, 0.1);  // -20 dB
  ASSERT_GE(result.points.size(), 1001u);
  for (int k = 50; k <= 950; ++k) ASSERT_NEAR(result.points[k], -20.0, 0.05) << "point " << k;
}

TEST(LoopbackTest, CurveIsTheSameWhateverTheChunkSize) {
  const LoopbackResult reference = RunLoopback(4096);
  for (int chunk : {1, 113, 960, 5000}) {
    SCOPED_TRACE(testing::Message() << chunk << " frames between checks");
    const LoopbackResult other = RunLoopback(chunk);
    EXPECT_EQ(other.syncBlock, reference.syncBlock);
    ASSERT_EQ(other.points.size(), reference.points.size());
    for (size_t k = 0; k < other.points.size(); ++k) {
      ASSERT_EQ(other.points[k], reference.points[k]) << "point " << k;
    }
  }
}

TEST(LoopbackTest, ReplayFlagGivesTheSameCurveAsASweep) {
  const LoopbackResult sweep = RunLoopback(4096);
  const LoopbackResult replay = RunLoopback(4096, 1.0, true);
  EXPECT_EQ(replay.points, sweep.points);
}

TEST(LoopbackTest, OtherRangesAreFlatToo) {
  for (auto [fmin, fmax] : {std::pair{100.0, 10000.0}, std::pair{2.0, 2000.0}}) {
    SCOPED_TRACE(testing::Message() << fmin << ".." << fmax << " Hz");
    const LoopbackResult result = RunLoopback(113, 1.0, false, fmin, fmax);
    ASSERT_GE(result.points.size(), 1001u);
    // Where a block holds at least a few half periods, its peak is the sweep's crest.
    const int from = fmin < 20.0 ? 400 : 50;
    EXPECT_LT(Spread(result.points, from, 950), 0.05);
  }
}

}  // namespace

}  // namespace quorvel

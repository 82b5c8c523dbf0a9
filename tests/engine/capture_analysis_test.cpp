// Capture analysis: record track, peak meter, block levels, the sync detector and the counting
// of blocks after the sync.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "engine/audio_engine.h"
#include "tests/engine/engine_probe.h"
#include "tests/engine/engine_test_support.h"

namespace quorvel {

namespace {

using engine_test::CollectingListener;
using engine_test::LevelDb;
using engine_test::PushBurstUntilSynced;
using engine_test::PushSignal;
using engine_test::PushSignalUntilSynced;
using engine_test::PushSilence;
using engine_test::To32;

constexpr double kPi = 3.14159265358979323846;
constexpr int kBlock = 960;
constexpr double kZeroBlockDb = -312.0411998265592;  // 20 log10(2.5e-16)

class CaptureAnalysisTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_audio = std::make_unique<CAudio>(nullptr, &m_listener);
    ASSERT_GT(m_audio->GenerateSweep(20.0, 20000.0), 0);  // for the burst
    m_audio->ResetAnalysis();
  }

  // Analysis on, half a second of digital silence, then the burst until the detector fires;
  // returns with the sync block just analysed.
  void SyncOnBurst(double gain = 1.0) {
    m_audio->SetSweepPlaying(true);
    PushSilence(*m_audio, 24000);
    PushBurstUntilSynced(*m_audio, gain);
    ASSERT_TRUE(m_audio->Counters().synced);
    ASSERT_EQ(CAudioProbe::BlockFill(*m_audio).load(), 0);  // found at the end of a block
  }

  // After SyncOnBurst: pushes the dropped blocks of zeros (47 settling blocks and the 4 that a
  // 20 Hz sweep skips after them); the next block is point 0.
  void PushSettlingBlocks() {
    PushSilence(*m_audio, (47 + 4) * kBlock);
    ASSERT_TRUE(m_listener.Points().empty());
  }

  CollectingListener m_listener;
  std::unique_ptr<CAudio> m_audio;
};

// ---- record track ----

TEST_F(CaptureAnalysisTest, RecordSampleIsTheLouderChannelsUpperBitsTowardZero) {
  struct Case {
    int32_t left;
    int32_t right;
    int16_t expected;
  };
  const Case cases[] = {
      {-65537, 65535, -1},     // left louder: -1.00002 toward zero
      {65535, -65537, -1},     // right louder
      {-131072, 131072, -2},   // equal magnitudes: left
      {65535, 0, 0},           // below one unit: 0
      {-65535, 0, 0},          // toward zero, not down
      {INT32_MIN, 0, -32768},  // the most negative value
      {2147483647, -2147483647, 32767},
      {100 * 65536, -300 * 65536, -300},
  };
  for (const Case& c : cases) {
    auto audio = std::make_unique<CAudio>();
    audio->PushFrame(c.left, c.right);
    EXPECT_EQ(CAudioProbe::RecordTrack(*audio)[0], c.expected) << c.left << ", " << c.right;
    EXPECT_EQ(CAudioProbe::RecordWrite(*audio), 1);
    EXPECT_EQ(audio->Counters().recordCount, 1);
    EXPECT_EQ(CAudioProbe::RingLeft(*audio)[0], c.left);
    EXPECT_EQ(CAudioProbe::RingRight(*audio)[0], c.right);
  }
}

TEST_F(CaptureAnalysisTest, RecordTrackWrapsAndKeepsTheNewestSamples) {
  auto value = [](int n) { return static_cast<int16_t>(n % 30011 - 15000); };
  const int total = CAudio::kRecordSize + 1000;
  for (int n = 0; n < total; ++n) m_audio->PushFrame(value(n) * 65536, 0);
  EXPECT_EQ(CAudioProbe::RecordWrite(*m_audio), 1000);
  EXPECT_EQ(m_audio->Counters().recordCount, total);
  EXPECT_EQ(CAudioProbe::RingWrite(*m_audio), total & CAudio::kRingMask);
  for (int i = 0; i < 1000; ++i) {
    ASSERT_EQ(CAudioProbe::RecordTrack(*m_audio)[i], value(CAudio::kRecordSize + i))
        << "index " << i;
  }
  // From the write index on, the oldest samples still held.
  for (int i = 1000; i < 1100; ++i)
    ASSERT_EQ(CAudioProbe::RecordTrack(*m_audio)[i], value(i)) << "index " << i;
  EXPECT_EQ(CAudioProbe::RecordTrack(*m_audio)[CAudio::kRecordSize - 1],
            value(CAudio::kRecordSize - 1));
}

TEST_F(CaptureAnalysisTest, SyncKeepsTheRecordingFromTheStartOfTheCapture) {
  // Straight from the reset the burst is found at the end of block 26: fewer than 25440
  // samples are recorded, so the capture starts at index 0 and holds just what was recorded.
  m_audio->SetSweepPlaying(true);
  const int16_t* signal = m_audio->Sweep().data();
  const int pushed = PushSignalUntilSynced(*m_audio, signal, 60000);
  ASSERT_TRUE(m_audio->Counters().synced);
  ASSERT_LT(CAudioProbe::RecordWrite(*m_audio), 25440);
  EXPECT_EQ(CAudioProbe::RecordStart(*m_audio), 0);
  EXPECT_EQ(m_audio->Counters().recordCount, pushed);
  for (int i = 0; i < pushed; ++i)
    ASSERT_EQ(CAudioProbe::RecordTrack(*m_audio)[i], signal[i]) << "index " << i;
  // From now on the count follows the recording.
  PushSignal(*m_audio, signal, pushed, pushed + 500);
  EXPECT_EQ(m_audio->Counters().recordCount, pushed + 500);
}

TEST_F(CaptureAnalysisTest, SyncWithWriteIndex10000KeepsTheTenThousandRecordedSamples) {
  // Find at which frame the burst is found, then feed the same frames to a second engine whose
  // recording began 10000 frames before that.
  m_audio->SetSweepPlaying(true);
  const int syncFrames = PushSignalUntilSynced(*m_audio, m_audio->Sweep().data(), 60000);
  ASSERT_TRUE(m_audio->Counters().synced);

  auto audio = std::make_unique<CAudio>();
  ASSERT_GT(audio->GenerateSweep(20.0, 20000.0), 0);
  audio->ResetAnalysis();
  audio->SetSweepPlaying(true);
  PushSignal(*audio, audio->Sweep().data(), 0, syncFrames - 10000);
  CAudioProbe::RecordWrite(*audio) = 0;
  CAudioProbe::RecordCount(*audio).store(0);
  PushSignal(*audio, audio->Sweep().data(), syncFrames - 10000, syncFrames);
  ASSERT_TRUE(audio->Counters().synced);
  ASSERT_EQ(CAudioProbe::RecordWrite(*audio), 10000);
  EXPECT_EQ(CAudioProbe::RecordStart(*audio), 0);
  EXPECT_EQ(audio->Counters().recordCount, 10000);
}

TEST_F(CaptureAnalysisTest, SyncAfterTheTrackHasWrappedKeepsThe25440SamplesBeforeIt) {
  // Idle input long enough that the write index passes the end of the track during the
  // measurement's first half second; then the measurement.
  const int idle = CAudio::kRecordSize - 5000;
  PushSilence(*m_audio, idle);
  m_audio->SetSweepPlaying(true);
  const int16_t* signal = m_audio->Sweep().data();
  const int pushed = PushSignalUntilSynced(*m_audio, signal, 60000);
  ASSERT_TRUE(m_audio->Counters().synced);
  const int write = CAudioProbe::RecordWrite(*m_audio);
  ASSERT_EQ(write, (idle + pushed) & CAudio::kRecordMask);
  ASSERT_LT(write, 25440);  // the case where the start lies at the end of the track
  const int start = CAudioProbe::RecordStart(*m_audio);
  EXPECT_EQ(start, (write - 25440) & CAudio::kRecordMask);
  EXPECT_EQ(m_audio->Counters().recordCount, 25440);
  // The kept stretch is exactly the 25440 frames before the end of the sync block: the end of
  // the idle silence, then the signal up to the burst's onset.
  ASSERT_LT(pushed - 25440, 24000);
  for (int i = 0; i < 25440; ++i) {
    const int frame = pushed - 25440 + i;  // negative: the idle frames before the signal
    const int16_t expected = frame < 0 ? 0 : signal[frame];
    ASSERT_EQ(CAudioProbe::RecordTrack(*m_audio)[(start + i) & CAudio::kRecordMask], expected)
        << "kept sample " << i;
  }
  EXPECT_EQ(
      CAudioProbe::RecordTrack(*m_audio)[(start + 25440 - (pushed - 24000)) & CAudio::kRecordMask],
      m_audio->SyncBurst()[0]);
  EXPECT_NE(CAudioProbe::RecordTrack(
                *m_audio)[(start + 25440 - (pushed - 24000) + 1) & CAudio::kRecordMask],
            0);
}

// ---- peak meter ----

TEST_F(CaptureAnalysisTest, PeakMeterTakesOneAndAQuarterTimesTheLargestMagnitude) {
  m_audio->PushFrame(1000, -2);
  EXPECT_EQ(m_audio->Counters().peakLeft, 1250);
  EXPECT_EQ(m_audio->Counters().peakRight, 3);  // 2.5 rounds away from zero
  m_audio->PushFrame(1, 3);                     // 1.25 and 3.75: below the peaks
  EXPECT_EQ(m_audio->Counters().peakLeft, 1250);
  EXPECT_EQ(m_audio->Counters().peakRight, 4);
  m_audio->PushFrame(-1001, 0);  // -1251.25
  EXPECT_EQ(m_audio->Counters().peakLeft, 1251);

  // The meter halves the peaks; the next frames raise them only when larger.
  m_audio->HalvePeaks();       // 1251 -> 625
  m_audio->PushFrame(400, 0);  // 500
  EXPECT_EQ(m_audio->Counters().peakLeft, 625);
  m_audio->PushFrame(600, 0);  // 750
  EXPECT_EQ(m_audio->Counters().peakLeft, 750);
}

TEST_F(CaptureAnalysisTest, PeakMeterRoundsInSinglePrecisionAndSaturatesAboveFourFifths) {
  // 1.25 x 1717986815 = 2147483518.75, which single precision holds as 2147483520.
  m_audio->PushFrame(1717986815, -1717986815);
  EXPECT_EQ(m_audio->Counters().peakLeft, 2147483520);
  EXPECT_EQ(m_audio->Counters().peakRight, 2147483520);
  for (int32_t s : {1717986918, 2147483647, -2147483647, INT32_MIN}) {
    auto audio = std::make_unique<CAudio>();
    audio->PushFrame(s, s);
    EXPECT_EQ(audio->Counters().peakLeft, 2147483647) << s;
    EXPECT_EQ(audio->Counters().peakRight, 2147483647) << s;
  }
}

// ---- blocks ----

TEST_F(CaptureAnalysisTest, IdleInputFillsRingsButAnalysesNothing) {
  PushSilence(*m_audio, 959);
  EXPECT_EQ(CAudioProbe::BlockFill(*m_audio).load(), 959);
  m_audio->PushFrame(5 * 65536, -7);
  EXPECT_EQ(CAudioProbe::BlockFill(*m_audio).load(), 0);  // wraps at 960 even when idle
  EXPECT_EQ(CAudioProbe::RingLeft(*m_audio)[959], 5 * 65536);
  EXPECT_EQ(CAudioProbe::RingRight(*m_audio)[959], -7);
  EXPECT_EQ(CAudioProbe::RecordTrack(*m_audio)[959], 5);
  EXPECT_EQ(CAudioProbe::RingWrite(*m_audio), 960);
  // Even a loud burst is not looked at.
  PushSilence(*m_audio, 24000);
  PushBurstUntilSynced(*m_audio);
  EXPECT_FALSE(m_audio->Counters().synced);
  EXPECT_EQ(CAudioProbe::NoiseCount(*m_audio), 0);
  EXPECT_EQ(CAudioProbe::SyncThreshold(*m_audio), 0.0);
  EXPECT_TRUE(m_listener.Points().empty());
  EXPECT_GT(m_audio->Counters().peakLeft, 0);
}

TEST_F(CaptureAnalysisTest, ReplayFlagRunsTheAnalysisToo) {
  m_audio->SetFilePlaying(true);
  PushSilence(*m_audio, 2 * kBlock);
  EXPECT_EQ(CAudioProbe::NoiseCount(*m_audio), 2 * kBlock);
}

TEST_F(CaptureAnalysisTest, BlockOfZerosReads312DbBelowFullScale) {
  ASSERT_NO_FATAL_FAILURE(SyncOnBurst());
  ASSERT_NO_FATAL_FAILURE(PushSettlingBlocks());
  PushSilence(*m_audio, 3 * kBlock);
  ASSERT_EQ(m_listener.Points().size(), 3u);
  for (double db : m_listener.Points()) {
    EXPECT_DOUBLE_EQ(db, kZeroBlockDb);
    EXPECT_NEAR(db, -312.04, 0.005);
  }
}

TEST_F(CaptureAnalysisTest, BlockLevelIsThePeakInDbOfFullScale) {
  ASSERT_NO_FATAL_FAILURE(SyncOnBurst());
  ASSERT_NO_FATAL_FAILURE(PushSettlingBlocks());
  // A block reaching 2147483647 on the right channel only.
  for (int i = 0; i < kBlock; ++i) m_audio->PushFrame(0, i == 500 ? 2147483647 : 0);
  // A block holding the most negative value.
  for (int i = 0; i < kBlock; ++i) m_audio->PushFrame(i == 300 ? INT32_MIN : 0, 0);
  // A 1 kHz sine at -20 dB of full scale.
  const double amplitude = 0.1 * 2147483648.0;
  for (int i = 0; i < kBlock; ++i) {
    const auto v =
        static_cast<int32_t>(std::lround(amplitude * std::sin(2.0 * kPi * 1000.0 * i / 48000.0)));
    m_audio->PushFrame(v, -v);
  }
  ASSERT_EQ(m_listener.Points().size(), 3u);
  EXPECT_DOUBLE_EQ(m_listener.Points()[0], LevelDb(2147483647.0));
  EXPECT_LT(m_listener.Points()[0], 0.0);
  EXPECT_GT(m_listener.Points()[0], -1e-8);  // about -4.0e-9 dB
  EXPECT_DOUBLE_EQ(m_listener.Points()[1], 0.0);
  EXPECT_NEAR(m_listener.Points()[2], -20.0, 0.05);
}

TEST_F(CaptureAnalysisTest, PointsStartDBlocksAfterTheSettlingBlocksOnePerBlock) {
  // D, the blocks skipped after the 48 settling blocks, follows the lead-in of the range's fmin:
  // (2382 + 48000 / fmin) / 960.
  struct Range {
    double fmin;
    double fmax;
    int skipped;  // D
  };
  for (const Range range : {Range{20.0, 20000.0, 4}, Range{100.0, 10000.0, 2},
                            Range{40.0, 4000.0, 3}, Range{2.0, 2000.0, 27}}) {
    SCOPED_TRACE(testing::Message() << range.fmin << ".." << range.fmax << " Hz");
    CollectingListener listener;
    auto audio = std::make_unique<CAudio>(nullptr, &listener);
    const int length = audio->GenerateSweep(range.fmin, range.fmax);
    audio->ResetAnalysis();
    audio->SetSweepPlaying(true);
    const int16_t* signal = audio->Sweep().data();
    int syncBlock = 0;
    std::vector<int> pointBlock;  // block in which point k arrived
    for (int block = 1; block * kBlock <= length; ++block) {
      const size_t before = listener.Points().size();
      PushSignal(*audio, signal, (block - 1) * kBlock, block * kBlock);
      const size_t after = listener.Points().size();
      ASSERT_LE(after - before, 1u) << "block " << block;
      if (after > before) pointBlock.push_back(block);
      if (syncBlock == 0 && audio->Counters().synced) syncBlock = block;
    }
    ASSERT_GT(syncBlock, 0);
    // The signal holds every point and the block after the last one.
    ASSERT_GT(pointBlock.size(), 1001u);
    for (size_t k = 0; k < pointBlock.size(); ++k) {
      ASSERT_EQ(pointBlock[k], syncBlock + 48 + range.skipped + static_cast<int>(k))
          << "point " << k;
    }
    EXPECT_EQ(CAudioProbe::BlocksSinceSync(*audio), length / kBlock - syncBlock + 1);
  }
}

TEST_F(CaptureAnalysisTest, AReplayTakesThePointTimingOfTheRangeItIsGiven) {
  // The sweep of 2..2000 Hz analysed with the timing of 20 Hz: 23 points more, each read 23
  // blocks early.
  CollectingListener timedFor2;
  CollectingListener timedFor20;
  for (auto [listener, fmin] : {std::pair{&timedFor2, 2.0}, std::pair{&timedFor20, 20.0}}) {
    auto audio = std::make_unique<CAudio>(nullptr, listener);
    const int length = audio->GenerateSweep(2.0, 2000.0);
    audio->SetPointTiming(fmin);
    audio->ResetAnalysis();
    audio->SetFilePlaying(true);
    PushSignal(*audio, audio->Sweep().data(), 0, length);
  }
  ASSERT_EQ(timedFor20.Points().size(), timedFor2.Points().size() + 23);
  for (size_t k = 0; k < timedFor2.Points().size(); ++k) {
    ASSERT_EQ(timedFor2.Points()[k], timedFor20.Points()[k + 23]) << "point " << k;
  }
}

// ---- sync detector ----

TEST_F(CaptureAnalysisTest, DigitalSilenceSetsTheThresholdAt105DbBelowFullScale) {
  m_audio->SetSweepPlaying(true);
  PushSilence(*m_audio, 15 * kBlock);  // 14400 detector samples
  EXPECT_EQ(CAudioProbe::SyncThreshold(*m_audio), 0.0);
  PushSilence(*m_audio, 2 * kBlock);  // 16320: the floor has been measured
  EXPECT_NEAR(CAudioProbe::SyncThreshold(*m_audio), -105.0, 1e-3);
  PushSilence(*m_audio, 24000 - 17 * kBlock);
  EXPECT_EQ(CAudioProbe::NoiseCount(*m_audio), 24000);
  EXPECT_NEAR(CAudioProbe::NoiseFloor(*m_audio), -120.0, 1e-3);
  EXPECT_NEAR(CAudioProbe::SyncThreshold(*m_audio), -105.0, 1e-3);  // set once
  EXPECT_FALSE(m_audio->Counters().synced);
}

TEST_F(CaptureAnalysisTest, BurstIsFoundWithinItsFirst250SamplesAtEveryLevel) {
  struct Level {
    double gain;
    int latestSample;  // 1-based sample of the burst at which it must be found
  };
  for (Level level : {Level{1.0, 18}, Level{0.1, 250}, Level{0.001, 250}}) {
    SCOPED_TRACE(testing::Message() << "burst at " << level.gain << " of full scale");
    auto audio = std::make_unique<CAudio>();
    ASSERT_GT(audio->GenerateSweep(20.0, 20000.0), 0);
    audio->ResetAnalysis();
    audio->SetSweepPlaying(true);
    PushSilence(*audio, 24000);
    PushBurstUntilSynced(*audio, level.gain);
    ASSERT_TRUE(audio->Counters().synced);
    // The detector saw the ring's initial zero, then the frames in order; every sample but the
    // one that found the burst counts as noise. So the burst sample is noiseCount - 24000.
    const int burstSample = CAudioProbe::NoiseCount(*audio) - 24000;
    EXPECT_GE(burstSample, 1);
    EXPECT_LE(burstSample, level.latestSample);
    if (level.gain == 1.0) {
      EXPECT_EQ(burstSample, 18);
    }
  }
}

TEST_F(CaptureAnalysisTest, DetectorCannotFireBeforeItHasMeasuredTheNoiseFloor) {
  // A full-scale burst from the first frame on, over and over.
  m_audio->SetSweepPlaying(true);
  for (int block = 0; block < 50; ++block) {
    for (int i = 0; i < kBlock; ++i) {
      const int32_t v = To32(m_audio->SyncBurst()[(block * kBlock + i) % CAudio::kBurstLength]);
      m_audio->PushFrame(v, v);
    }
    ASSERT_FALSE(m_audio->Counters().synced) << "block " << block;
    if (CAudioProbe::NoiseCount(*m_audio) < 16000) {
      ASSERT_EQ(CAudioProbe::SyncThreshold(*m_audio), 0.0);
    }
  }
  // The floor measured on the burst itself puts the threshold above the burst.
  EXPECT_GT(CAudioProbe::SyncThreshold(*m_audio), -10.0);
}

TEST_F(CaptureAnalysisTest, DetectorStopsOnceSynced) {
  ASSERT_NO_FATAL_FAILURE(SyncOnBurst());
  const int noise = CAudioProbe::NoiseCount(*m_audio);
  double state[3][4][2];
  std::memcpy(state, CAudioProbe::BandFilterState(*m_audio), sizeof(state));
  PushBurstUntilSynced(*m_audio);  // already synced: pushes nothing
  PushSignal(*m_audio, m_audio->SyncBurst().data(), 0, CAudio::kBurstLength);
  EXPECT_EQ(CAudioProbe::NoiseCount(*m_audio), noise);
  EXPECT_EQ(std::memcmp(state, CAudioProbe::BandFilterState(*m_audio), sizeof(state)), 0);
}

// Noise of the given peak (32-bit units), uniform, from a fixed seed.
class NoiseSource {
 public:
  explicit NoiseSource(double peak) : m_peak(peak) {}
  double Next() {
    m_state = m_state * 6364136223846793005ull + 1442695040888963407ull;
    const double unit = static_cast<double>(m_state >> 11) * (1.0 / 9007199254740992.0);
    return (2.0 * unit - 1.0) * m_peak;
  }

 private:
  double m_peak;
  uint64_t m_state = 0x1234567887654321ull;
};

// Half a second of noise, then half a second of noise plus tones at the burst's frequencies
// (each of amplitude gain x 32767 / 3 in 16-bit units); returns whether the detector fired.
bool RunTonesOverNoise(CAudio& audio, bool withThirdTone, double gain) {
  const double freqs[3] = {1567.98, 2637.02, 4186.01};
  const double toneAmplitude = gain * 32767.0 / 3.0 * 65536.0;
  NoiseSource noise(2147483648.0 * 1e-3);  // -60 dB of full scale
  audio.SetSweepPlaying(true);
  for (int i = 0; i < 24000; ++i) {
    const auto v = static_cast<int32_t>(std::lround(noise.Next()));
    audio.PushFrame(v, v);
  }
  for (int i = 0; i < 24000 && !audio.Counters().synced; ++i) {
    double x = noise.Next();
    for (int k = 0; k < (withThirdTone ? 3 : 2); ++k) {
      x += toneAmplitude * std::sin(2.0 * kPi * freqs[k] * i / 48000.0);
    }
    const auto v = static_cast<int32_t>(std::lround(x));
    audio.PushFrame(v, v);
  }
  return audio.Counters().synced;
}

// The same noise (-60 dB of full scale, from the fixed seed) into an engine's analysis.
void PushNoise(CAudio& audio, int frames) {
  NoiseSource noise(2147483648.0 * 1e-3);
  for (int i = 0; i < frames; ++i) {
    const auto v = static_cast<int32_t>(std::lround(noise.Next()));
    audio.PushFrame(v, v);
  }
}

TEST_F(CaptureAnalysisTest, AnotherEngineLeavesTheDetectorOfThisOneAlone) {
  // What the detector makes of three blocks of noise on an engine of its own...
  auto alone = std::make_unique<CAudio>();
  alone->SetSweepPlaying(true);
  PushNoise(*alone, 2 * kBlock);
  PushNoise(*alone, kBlock);
  // ...is what it makes of them while a second engine (a new analysis) starts and analyses
  // frames of its own between two of them.
  m_audio->SetSweepPlaying(true);
  PushNoise(*m_audio, 2 * kBlock);
  auto other = std::make_unique<CAudio>();
  other->ResetAnalysis();
  other->SetSweepPlaying(true);
  PushNoise(*other, kBlock);
  PushNoise(*m_audio, kBlock);
  for (int k = 0; k < 3; ++k) {
    EXPECT_EQ(CAudioProbe::BandEnvelope(*m_audio)[k], CAudioProbe::BandEnvelope(*alone)[k]) << k;
  }
  EXPECT_EQ(CAudioProbe::NoiseFloor(*m_audio), CAudioProbe::NoiseFloor(*alone));
}

TEST_F(CaptureAnalysisTest, WeakTwoToneBurstOverNoiseIsNeverFound) {
  const double gain = 0.01;  // the tones stand about 20 dB above the threshold in their bands
  // The same tones with the third one are found: the level is enough.
  ASSERT_TRUE(RunTonesOverNoise(*m_audio, true, gain));

  auto audio = std::make_unique<CAudio>();
  audio->ResetAnalysis();
  EXPECT_FALSE(RunTonesOverNoise(*audio, false, gain));
  // The two present tones stand well above the threshold; the third band stays below it.
  const double threshold = CAudioProbe::SyncThreshold(*audio);
  ASSERT_LT(threshold, -60.0);
  EXPECT_GT(LevelDb(CAudioProbe::BandEnvelope(*audio)[0]), threshold + 6.0);
  EXPECT_GT(LevelDb(CAudioProbe::BandEnvelope(*audio)[1]), threshold + 6.0);
  EXPECT_LT(LevelDb(CAudioProbe::BandEnvelope(*audio)[2]), threshold);
}

// ---- what the measurement watches ----

TEST_F(CaptureAnalysisTest, TheFloorIsReadyOnceTheDetectorHasSeen16000SamplesOfIt) {
  m_audio->SetSweepPlaying(true);
  PushSilence(*m_audio, 16 * kBlock);  // 15360 detector samples
  EXPECT_FALSE(m_audio->Counters().noiseFloorReady);
  PushSilence(*m_audio, kBlock);  // 16320
  EXPECT_TRUE(m_audio->Counters().noiseFloorReady);
  m_audio->ResetAnalysis();
  EXPECT_FALSE(m_audio->Counters().noiseFloorReady);
  // Frames that reach no analysis (no sweep, no replay) do not count.
  m_audio->SetSweepPlaying(false);
  PushSilence(*m_audio, 20 * kBlock);
  EXPECT_FALSE(m_audio->Counters().noiseFloorReady);
}

// The whole sweep as a perfect loopback delivers it, with `hole` frames from `holeAt` (after
// the sweep's own start) made digital silence, as a dropout leaves them.
int SilentPointsOfTheSweep(CAudio& audio, int holeAt, int hole) {
  audio.ResetAnalysis();
  audio.SetSweepPlaying(true);
  std::vector<int16_t> signal(audio.Sweep().data(),
                              audio.Sweep().data() + static_cast<int>(audio.Sweep().size()));
  for (int i = holeAt; i < holeAt + hole && i < static_cast<int>(signal.size()); ++i) signal[i] = 0;
  PushSignal(audio, signal.data(), 0, static_cast<int>(signal.size()));
  return audio.Counters().silentPoints;
}

TEST_F(CaptureAnalysisTest, AGapOfSilenceInTheSweepCountsButTheSilenceBeforeItDoesNot) {
  // A clean sweep on a digital loopback has no all-zero point at all.
  EXPECT_EQ(SilentPointsOfTheSweep(*m_audio, 0, 0), 0);
  ASSERT_GT(m_listener.Points().size(), 1001u);
  // 100 ms of silence in the middle of the sweep holds four whole blocks, whatever their
  // alignment.
  constexpr int kSweepStart = 74400;  // silence, burst, silence, the 20 Hz lead-in [samples]
  EXPECT_GE(SilentPointsOfTheSweep(*m_audio, kSweepStart + 480000, 4800), 4);
  EXPECT_LE(m_audio->Counters().silentPoints, 6);
  // 64 zero frames in a row are a gap wherever they fall; 60 are not.
  for (const int hole : {64, 256, 480})
    EXPECT_GE(SilentPointsOfTheSweep(*m_audio, kSweepStart + 480000 + hole, hole), 1) << hole;
  EXPECT_EQ(SilentPointsOfTheSweep(*m_audio, kSweepStart + 480000, 60), 0);
}

TEST_F(CaptureAnalysisTest, APointFromAClippedBlockIsCountedOnce) {
  ASSERT_NO_FATAL_FAILURE(SyncOnBurst());
  ASSERT_NO_FATAL_FAILURE(PushSettlingBlocks());
  // The capture thread marks the block of a frame that met the clamp; the mark lasts one block.
  for (int i = 0; i < kBlock; ++i) {
    if (i == 100) CAudioProbe::BlockClipped(*m_audio) = 3;  // after the gain and before it
    m_audio->PushFrame(2147483647, 0);
  }
  PushSilence(*m_audio, 2 * kBlock);
  ASSERT_EQ(m_listener.Points().size(), 3u);
  EXPECT_EQ(m_audio->Counters().clippedPoints, 1);
  EXPECT_EQ(m_audio->Counters().deviceClippedPoints, 1);
  // clipped blocks up to the curve's last point count, the two after it do not
  for (int block = 3; block < kPointsPerCurve + 2; ++block) {
    CAudioProbe::MarkBlockClipped(*m_audio);
    PushSilence(*m_audio, kBlock);
  }
  ASSERT_EQ(m_listener.Points().size(), static_cast<size_t>(kPointsPerCurve + 2));
  EXPECT_EQ(m_audio->Counters().clippedPoints, 1 + kPointsPerCurve - 3);
  EXPECT_EQ(m_audio->Counters().deviceClippedPoints, 1);
  m_audio->ResetAnalysis();
  EXPECT_EQ(m_audio->Counters().clippedPoints, 0);
}

}  // namespace

}  // namespace quorvel

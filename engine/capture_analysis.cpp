// The capture analysis: 960-frame blocks, the sync detector, the point timing and the point
// quality counters (engine/capture_analysis.h). Everything here but Clear and Counters runs on
// the analysing thread, without locks, allocation or system calls.
#include "engine/capture_analysis.h"

#include <cmath>
#include <cstdint>
#include <cstring>

#include "engine/curve_listener.h"

namespace quorvel {

namespace {

// Eighth-order band-pass filters (0.5 dB ripple, unit gain at one burst tone each), as four
// second-order sections in direct form II: a1, a2, b0, b1, b2 for 48000 Hz.
// Filter 1: 1483..1654 Hz around 1567.98 Hz; filter 2: 2494..2781 Hz around 2637.02 Hz;
// filter 3: 3959..4415 Hz around 4186.01 Hz (-3 dB limits). Each attenuates the other two
// tones by more than 75 dB.
constexpr double kBandCoefficients[3][4][5] = {
    {
        {-1.9500891435990948, 0.9963491745625173, 0.19665792895081596, -0.380639705728193,
         0.19665792895081596},
        {-1.9589256283438972, 0.9966972499788844, 0.28273881786094535, -0.5578010614621852,
         0.2827388178609454},
        {-1.9475597506024944, 0.9910764662860352, 0.035422392015442554, -0.06685118820235728,
         0.035422392015442554},
        {-1.9515008779952339, 0.991445840539393, 0.09568704185738208, -0.18990262273254782,
         0.09568704185738211},
    },
    {
        {-1.8641200466170003, 0.9938763154724581, 0.19775504426164364, -0.3598613973959935,
         0.1977550442616437},
        {-1.8883470177359236, 0.9944448842719066, 0.28148558788594125, -0.5414638584191724,
         0.28148558788594125},
        {-1.8631468981285848, 0.9850459463039695, 0.036278787335518564, -0.061298411690887095,
         0.03627878733551856},
        {-1.8736784685097443, 0.9856472674498369, 0.09479481642692382, -0.1854915004708132,
         0.09479481642692382},
    },
    {
        {-1.669361820815764, 0.9903287299261431, 0.20060689535917026, -0.31247426625921293,
         0.20060689535917023},
        {-1.7278760863774854, 0.9911698664699127, 0.2787991728578534, -0.5045581879066552,
         0.2787991728578534},
        {-1.6753150198303797, 0.9763945198428692, 0.03843067281291882, -0.048616499610786325,
         0.03843067281291882},
        {-1.7003274022139798, 0.9772799393895123, 0.0929493964188204, -0.17591852623804144,
         0.09294939641882038},
    },
};

constexpr double kScale32 = 4.656612873077393e-10;  // 2^-31: 32-bit sample to full scale
constexpr double kMinBlockLevel = 2.5e-16;          // an all-zero block reads -312.04 dB
constexpr double kMinBandLevel = 1e-6;              // band levels are floored at -120 dB
constexpr double kEnvelopeKeep = 0.997;
constexpr double kEnvelopeTake = 1.0 - 0.997;  // 0.0030000000000000027
constexpr double kNoiseFloorKeep = 0.999;
constexpr double kNoiseFloorTake = 0.001;
constexpr double kSyncMarginDb = 15.0;    // the burst must exceed the noise floor by this much
constexpr int32_t kNoiseSamples = 16000;  // [samples] the noise floor is measured over these
constexpr int32_t kInt32Max = 2147483647;

// |s| without overflow for the most negative 32-bit value.
inline uint32_t Magnitude(int32_t s) {
  return s < 0 ? 0u - static_cast<uint32_t>(s) : static_cast<uint32_t>(s);
}

}  // namespace

namespace {

// Largest magnitude of either channel over ring entries [from, to). Written as a signed
// maximum and minimum, which vectorise on every x86-64 processor.
inline uint32_t PeakOf(const int32_t* left, const int32_t* right, int from, int to) {
  int32_t highest = 0;
  int32_t lowest = 0;
  for (int i = from; i < to; ++i) {
    highest = left[i] > highest ? left[i] : highest;
    highest = right[i] > highest ? right[i] : highest;
    lowest = left[i] < lowest ? left[i] : lowest;
    lowest = right[i] < lowest ? right[i] : lowest;
  }
  const uint32_t up = static_cast<uint32_t>(highest);  // highest >= 0
  const uint32_t down = Magnitude(lowest);             // lowest <= 0; 2^31 for the most negative
  return up > down ? up : down;
}

}  // namespace

// Analyses the 960 samples before the newest one (m_ringWrite points just after the newest).
uint32_t CCaptureAnalysis::AnalyseBlock(int32_t recorded) {
  const int first = (m_ringWrite - 1 - kBlockLength) & kRingMask;
  uint32_t events = 0;
  uint32_t blockPeak = 0;
  bool synced = m_synced.load(std::memory_order_relaxed) != 0;
  if (synced) {
    // Once the burst has been found only the peak counts: the block is at most two
    // contiguous stretches of the ring.
    const int end = first + kBlockLength;
    if (end <= kRingSize) {
      blockPeak = PeakOf(m_ringLeft, m_ringRight, first, end);
    } else {
      const uint32_t a = PeakOf(m_ringLeft, m_ringRight, first, kRingSize);
      const uint32_t b = PeakOf(m_ringLeft, m_ringRight, 0, end - kRingSize);
      blockPeak = a > b ? a : b;
    }
  } else {
    int read = first;
    for (int n = 0; n < kBlockLength; ++n) {
      const int32_t leftSample = m_ringLeft[read];
      const int32_t rightSample = m_ringRight[read];
      const uint32_t l = Magnitude(leftSample);
      const uint32_t r = Magnitude(rightSample);
      // The sample of interest is the louder one, left when both are equal.
      const bool takeRight = r > l;
      const uint32_t m = takeRight ? r : l;
      if (!synced) {
        synced =
            DetectSync(static_cast<double>(takeRight ? rightSample : leftSample), recorded) != 0;
        if (synced) events |= kSyncFound;
      }
      read = (read + 1) & kRingMask;
      if (m > blockPeak) blockPeak = m;
    }
  }

  double level = static_cast<double>(blockPeak) * kScale32;
  if (level < kMinBlockLevel) level = kMinBlockLevel;
  const double levelDb = 20.0 * std::log10(level);

  // The block in which the burst is found counts as block 1; blocks 2 .. 48 + D are dropped,
  // and block 49 + D + k is point k.
  if (synced) {
    if (m_blocksSinceSync < kInt32Max) ++m_blocksSinceSync;
    const int32_t dropped = kSettlingBlocks + m_pointDelayBlocks.load(std::memory_order_relaxed);
    if (m_blocksSinceSync > dropped && m_listener != nullptr) {
      // The blocks after the curve's last point only tell the curve store that it is full.
      if (m_blocksSinceSync - dropped <= kPointsPerCurve) CountPoint(blockPeak);
      if (m_listener->AddPoint(levelDb)) events |= kCurveEnded;
    }
  }
  m_blockClipped = 0;  // the next block starts unmarked
  m_blockGap = 0;
  return events;
}

// A point from a block that reached full scale is clipped; one the device delivered at its own
// full scale clipped before the capture gain. A point whose block holds 64 zero frames in a row
// after the curve has had signal has a gap in its recording: no microphone, and no sweep that
// still plays, gives that much exact silence (a whole block of it is the longest such gap).
void CCaptureAnalysis::CountPoint(uint32_t blockPeak) {
  if (m_blockClipped != 0) m_clippedPoints.fetch_add(1, std::memory_order_relaxed);
  if ((m_blockClipped & kClippedBeforeGain) != 0) {
    m_deviceClippedPoints.fetch_add(1, std::memory_order_relaxed);
  }
  if (blockPeak == 0 || m_blockGap != 0) {
    if (m_pointsWithSignal != 0) m_silentPoints.fetch_add(1, std::memory_order_relaxed);
  } else {
    m_pointsWithSignal = 1;
  }
}

// Runs the sync detector on one sample; returns 1 once the burst has been found. recorded: the
// frames recorded up to the end of this block.
int CCaptureAnalysis::DetectSync(double x, int32_t recorded) {
  if (m_synced.load(std::memory_order_relaxed) != 0) return 1;

  double y[3];
  for (int k = 0; k < 3; ++k) y[k] = BandFilter(k, x);

  double bandDb[3];
  for (int k = 0; k < 3; ++k) {
    m_bandEnvelope[k] = kEnvelopeKeep * m_bandEnvelope[k] + kEnvelopeTake * std::fabs(y[k]);
    const double level = m_bandEnvelope[k] * kScale32;
    bandDb[k] = 20.0 * std::log10(level > kMinBandLevel ? level : kMinBandLevel);
  }

  if (bandDb[0] > m_syncThreshold && bandDb[1] > m_syncThreshold && bandDb[2] > m_syncThreshold) {
    m_syncFrames.store(recorded, std::memory_order_relaxed);
    m_synced.store(1, std::memory_order_relaxed);
    return 1;
  }

  if (m_noiseCount < kInt32Max) ++m_noiseCount;
  m_noiseFloor =
      kNoiseFloorKeep * m_noiseFloor + kNoiseFloorTake * (bandDb[0] + bandDb[1] + bandDb[2]) / 3;
  // The threshold is set once: until then it is 0 dB, which no band of a normal signal
  // exceeds, so the burst can only be found once the noise floor has been measured.
  if (m_noiseCount == kNoiseSamples) {
    m_syncThreshold = m_noiseFloor + kSyncMarginDb;
    m_noiseFloorReady.store(1, std::memory_order_release);
  }
  return 0;
}

// Runs band filter k (0..2) on one raw 32-bit sample value.
double CCaptureAnalysis::BandFilter(int k, double x) {
  double in = x;
  double out = 0.0;
  for (int s = 0; s < 4; ++s) {
    const double* c = kBandCoefficients[k][s];
    double* state = m_filterState[k][s];
    const double w = in - c[0] * state[0] - c[1] * state[1];
    out = c[2] * w + c[3] * state[0] + c[4] * state[1];
    state[1] = state[0];
    state[0] = w;
    in = out;
  }
  return out;
}

void CCaptureAnalysis::Clear() {
  ClearBlock();
  std::memset(m_ringLeft, 0, sizeof(m_ringLeft));
  std::memset(m_ringRight, 0, sizeof(m_ringRight));
  std::memset(m_filterState, 0, sizeof(m_filterState));

  for (double& envelope : m_bandEnvelope) envelope = 0.0;
  m_noiseFloor = 0.0;
  m_syncThreshold = 0.0;
  m_noiseCount = 0;
  m_noiseFloorReady.store(0, std::memory_order_relaxed);

  m_synced.store(0, std::memory_order_relaxed);
  m_syncFrames.store(0, std::memory_order_relaxed);
  m_blocksSinceSync = 0;

  m_blockClipped = 0;
  m_zeroRun = 0;
  m_blockGap = 0;
  m_pointsWithSignal = 0;
  m_clippedPoints.store(0, std::memory_order_relaxed);
  m_deviceClippedPoints.store(0, std::memory_order_relaxed);
  m_silentPoints.store(0, std::memory_order_relaxed);
}

AnalysisCounters CCaptureAnalysis::Counters() const {
  constexpr auto kAcquire = std::memory_order_acquire;
  return {.synced = m_synced.load(kAcquire) != 0,
          .noiseFloorReady = m_noiseFloorReady.load(kAcquire) != 0,
          .clippedPoints = m_clippedPoints.load(kAcquire),
          .deviceClippedPoints = m_deviceClippedPoints.load(kAcquire),
          .silentPoints = m_silentPoints.load(kAcquire),
          .syncFrames = m_syncFrames.load(kAcquire)};
}

}  // namespace quorvel

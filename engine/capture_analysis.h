#pragma once

#include <atomic>
#include <cstdint>

#include "engine/point_timing.h"

namespace quorvel {

class ICurveListener;

// What the analysis of a recording has found so far, each value read on its own (acquire).
struct AnalysisCounters {
  bool synced = false;              // the sync burst has been found
  bool noiseFloorReady = false;     // the detector has measured the input's floor
  int32_t clippedPoints = 0;        // of the curve's 1001 points: those at full scale,
  int32_t deviceClippedPoints = 0;  // of those, the ones the device delivered at its full scale,
  int32_t silentPoints = 0;  // and those with a gap (64 zero frames) after a point with signal
  int32_t syncFrames = 0;    // [frames] from the reset to the end of the block that found the
                             // sync burst (a replay: the samples played up to there)
};

// CCaptureAnalysis: the analysis of captured frames into curve points. Every frame goes into
// the input rings; every 960 frames make one analysis block. Until the sync burst is found each
// sample also runs through three band filters tuned to the burst's tones; after the 48
// settling blocks and the D blocks that centre each point's block on the instant the sweep
// passes the point's frequency (point_timing.h), each block's peak level is one curve point,
// handed to the curve listener, and the point quality counters (clipping, gaps) are kept.
//
// The engine holds one for its analysing thread (the capture thread, or the play thread in a
// replay); the offline analysis of a capture file runs one of its own on the calling thread,
// without an engine. The record track and the level meter are the engine's.
//
// Threads: PushFrame, AnalyseBlock and MarkClipped run on the analysing thread, without locks,
// allocation or system calls; Counters may be read by any thread; RestartBlock may be called
// by the play thread while it writes silence; the rest runs while no analysing thread pushes
// frames (or on it, for the engine's handed-over reset).
class CCaptureAnalysis {
 public:
  static constexpr int kRingSize = 8192;  // input rings, mask 0x1fff
  static constexpr int kRingMask = 0x1fff;
  static constexpr int kBlockLength = 960;  // one analysis block: 20 ms at 48000 Hz
  // A block's clip marks: a frame at full scale after the capture gain, and as the device
  // delivered it.
  static constexpr int32_t kClippedAtGain = 1;
  static constexpr int32_t kClippedBeforeGain = 2;
  // Zero frames in a row that make a gap: a real input always carries some noise.
  static constexpr int32_t kGapFrames = 64;

  // What one analysed block found.
  static constexpr uint32_t kSyncFound = 1;   // the sync burst, in this block
  static constexpr uint32_t kCurveEnded = 2;  // the listener found its curve full (once)

  explicit CCaptureAnalysis(ICurveListener* listener = nullptr) : m_listener(listener) {}
  CCaptureAnalysis(const CCaptureAnalysis&) = delete;
  CCaptureAnalysis& operator=(const CCaptureAnalysis&) = delete;

  // Receives the curve points (null: points are dropped). Set while no frames are pushed.
  void SetListener(ICurveListener* listener) { m_listener = listener; }
  ICurveListener* Listener() const { return m_listener; }

  // Points are taken at the instants a sweep from fmin [Hz] passes them (point_timing.h), or
  // one whose lead-in is leadIn samples. Before the analysis starts.
  void SetPointTiming(double fmin) {
    m_pointDelayBlocks.store(PointDelayBlocks(fmin), std::memory_order_relaxed);
  }
  void SetPointTimingForLeadIn(int leadIn) {
    m_pointDelayBlocks.store(PointDelayBlocksForLeadIn(leadIn), std::memory_order_relaxed);
  }

  // Everything back to its start: rings, block, detector, point counters.
  void Clear();
  // The block and ring positions back to their start, the detector left as it is (what a new
  // capture thread clears when it starts).
  void ClearBlock() {
    m_blockFill.store(0, std::memory_order_relaxed);
    m_ringWrite = 0;
  }
  // The current block starts again from the next frame. Play thread, while it writes silence;
  // never blocks.
  void RestartBlock() { m_blockFill.store(0, std::memory_order_relaxed); }

  // Marks the current block clipped (kClippedAtGain, kClippedBeforeGain). Analysing thread.
  void MarkClipped(int32_t how) { m_blockClipped |= how; }

  // Takes one frame; true when it completes a block, which the caller then analyses
  // (AnalyseBlock) while a sweep or a replay runs. Analysing thread, for every frame; always
  // inlined, never blocks or allocates.
  [[gnu::always_inline]] bool PushFrame(int32_t left, int32_t right) {
    const int write = m_ringWrite;
    m_ringLeft[write] = left;
    m_ringRight[write] = right;
    m_ringWrite = (write + 1) & kRingMask;
    // A run of zero frames: kGapFrames of exact zeros in a row are frames the server or the
    // device dropped.
    m_zeroRun = (left | right) == 0 ? m_zeroRun + (m_zeroRun < kGapFrames ? 1 : 0) : 0;
    if (m_zeroRun >= kGapFrames) m_blockGap = 1;
    // The play thread may set m_blockFill to 0 whenever it writes silence.
    const int32_t fill = m_blockFill.load(std::memory_order_relaxed) + 1;
    if (fill < kBlockLength) [[likely]] {
      m_blockFill.store(fill, std::memory_order_relaxed);
      return false;
    }
    m_blockFill.store(fill - kBlockLength, std::memory_order_relaxed);
    return true;
  }
  // A completed block that is not analysed keeps its marks for the next one.
  // Analyses the 960 frames before the newest one. recorded: the frames recorded since the
  // reset, which the sync's frame count takes. Returns kSyncFound and kCurveEnded as they
  // happened; the caller then puts the recording's length in place and tells the listener
  // CurveEnded. Analysing thread; never blocks or allocates.
  uint32_t AnalyseBlock(int32_t recorded);

  [[nodiscard]] AnalysisCounters Counters() const;

 private:
  friend struct CAudioProbe;  // the analysis' inner state, for the engine's tests

  void CountPoint(uint32_t blockPeak);
  int DetectSync(double x, int32_t recorded);
  double BandFilter(int k, double x);

  ICurveListener* m_listener;

  int32_t m_ringLeft[kRingSize] = {};
  int32_t m_ringRight[kRingSize] = {};
  int32_t m_ringWrite = 0;
  std::atomic<int32_t> m_blockFill{0};
  // Analysing thread: the frames of the current block include one at full scale; the zero
  // frames in a row up to the newest one; the current block holds kGapFrames of them in a row;
  // a curve point with signal has been taken since the reset.
  int32_t m_blockClipped = 0;
  int32_t m_zeroRun = 0;
  int32_t m_blockGap = 0;
  int32_t m_pointsWithSignal = 0;
  // The sync detector: band envelopes, the band filters' delay values w1, w2 (3 filters x 4
  // second-order sections), the threshold, the noise floor and the samples it has seen.
  double m_bandEnvelope[3] = {};
  double m_filterState[3][4][2] = {};
  double m_syncThreshold = 0.0;
  double m_noiseFloor = 0.0;
  int32_t m_noiseCount = 0;
  int32_t m_blocksSinceSync = 0;
  // D: blocks skipped after the 48 settling blocks before the first point (point_timing.h); the
  // default range's until a sweep or a replay sets it.
  std::atomic<int32_t> m_pointDelayBlocks{PointDelayBlocks(20.0)};

  // Read by other threads (Counters).
  std::atomic<int32_t> m_synced{0};
  std::atomic<int32_t> m_syncFrames{0};
  std::atomic<int32_t> m_noiseFloorReady{0};
  std::atomic<int32_t> m_clippedPoints{0};        // points whose block reached full scale
  std::atomic<int32_t> m_deviceClippedPoints{0};  // of those, at the device's own full scale
  std::atomic<int32_t> m_silentPoints{0};         // points with a gap, after one with signal
};

}  // namespace quorvel

// CAudio's intake of captured frames: every frame goes to the record track, the peak meter and
// the capture analysis (engine/capture_analysis.h), whose blocks are analysed while a sweep or a
// replay runs. A replay's samples come in here too, and the replay at full speed.
//
// Everything here but ReplayAtFullSpeed runs on the thread that calls PushFrame (the capture
// thread, or the play thread during a replay), without locks, allocation or system calls.
#include <cmath>
#include <cstdint>

#include "engine/audio_engine.h"
#include "engine/curve_listener.h"

namespace quorvel {

namespace {

constexpr int32_t kInt32Max = 2147483647;
// [samples] kept before the end of the sync block: covers the silence before the burst.
constexpr int32_t kPreSyncSamples = 25440;

// |s| without overflow for the most negative 32-bit value.
inline uint32_t Magnitude(int32_t s) {
  return s < 0 ? 0u - static_cast<uint32_t>(s) : static_cast<uint32_t>(s);
}

// Meter value of one sample: 1.25 x the sample in single precision, rounded to the nearest
// integer with halves away from zero, as a magnitude. Samples above 0.8 of full scale
// saturate at 2147483647.
inline int32_t MeterValue(int32_t s) {
  const float scaled = static_cast<float>(1.25 * static_cast<double>(s));
  // Such a float (below 2^32) plus 0.5 is exact in double, so truncation rounds half away from
  // zero.
  const double rounded = std::fabs(static_cast<double>(scaled)) + 0.5;
  return rounded >= 2147483647.0 ? kInt32Max : static_cast<int32_t>(rounded);
}

inline void RaisePeak(std::atomic<int32_t>& peak, int32_t sample) {
  // The user-interface thread halves the peak after each meter update; a halving lost to a
  // concurrent raise is harmless, so a plain load and store suffice.
  const int32_t held = peak.load(std::memory_order_relaxed);
  // 1.25 x the magnitude, plus the largest single-precision rounding below 2^32 (128) and the
  // final rounding, bounds the meter value from above: most samples stay below the held
  // peak and skip the exact rounding.
  // (At most 2^31 + 2^29 + 130: no overflow in 32 unsigned bits.)
  const uint32_t m = Magnitude(sample);
  if (held >= 0 && m + (m >> 2) + 130u <= static_cast<uint32_t>(held)) return;
  if (held == kInt32Max) return;  // saturated: nothing reads higher
  const int32_t value = MeterValue(sample);
  if (value > held) peak.store(value, std::memory_order_relaxed);
}

}  // namespace

// PushFrame and PushReplaySample: always inlined, so a live frame pays no call. Analysing
// thread; never blocks or allocates.
[[gnu::always_inline]] inline void CAudio::PushFrameRecording(int32_t left, int32_t right,
                                                              int16_t recordSample) {
  RaisePeak(m_peakLeft, left);
  RaisePeak(m_peakRight, right);
  PushMeasuredFrame(left, right, recordSample);
}

[[gnu::always_inline]] inline void CAudio::PushMeasuredFrame(int32_t left, int32_t right,
                                                             int16_t recordSample) {
  const int recordWrite = m_recordWrite & kRecordMask;
  m_record[recordWrite] = recordSample;
  const int32_t recorded = m_recordCount.load(std::memory_order_relaxed);
  m_recordCount.store(recorded + (recorded != kInt32Max ? 1 : 0), std::memory_order_relaxed);
  m_recordWrite = (recordWrite + 1) & kRecordMask;
  m_intakeCount.store(m_intakeCount.load(std::memory_order_relaxed) + 1, std::memory_order_relaxed);

  if (m_analysis.PushFrame(left, right) && (m_sweepPlaying.load(std::memory_order_relaxed) != 0 ||
                                            m_filePlaying.load(std::memory_order_relaxed) != 0))
      [[unlikely]] {
    EndBlock();
  }
}

void CAudio::EndBlock() {
  const uint32_t events = m_analysis.AnalyseBlock(m_recordCount.load(std::memory_order_relaxed));
  // A replay's recording is the file's samples, from the first: nothing is cut.
  if ((events & CCaptureAnalysis::kSyncFound) != 0 &&
      m_filePlaying.load(std::memory_order_relaxed) == 0) {
    KeepRecordingFromSync();
  }
  if ((events & CCaptureAnalysis::kCurveEnded) != 0) {
    m_capturedCount.store(m_recordCount.load(std::memory_order_relaxed), std::memory_order_release);
    m_analysis.Listener()->CurveEnded();
  }
}

// Keep the 25440 samples before the end of the sync block: they hold the silence before the
// burst, so a saved capture is synchronised again the same way when replayed.
void CAudio::KeepRecordingFromSync() {
  const int32_t recorded = m_recordCount.load(std::memory_order_relaxed);
  int32_t start = 0;
  int32_t kept = kPreSyncSamples;
  if (m_recordWrite >= kPreSyncSamples) {
    start = m_recordWrite - kPreSyncSamples;
  } else if (recorded >= kRecordSize) {
    // The track has wrapped: the samples before the write index lie at its end.
    start = (m_recordWrite - kPreSyncSamples) & kRecordMask;
  } else {
    // Fewer samples than that have been recorded since the reset: the capture is what was
    // recorded. Counting 25440 would take in track entries not yet written, which a replay's
    // play thread may be writing while the finished recording is moved and saved.
    kept = m_recordWrite;
  }
  m_recordStart.store(start, std::memory_order_relaxed);
  m_recordCount.store(kept, std::memory_order_relaxed);
  m_recordStartIntake.store(m_intakeCount.load(std::memory_order_relaxed) - kept,
                            std::memory_order_release);
}

// Called on the analysing thread (the capture thread, or the play thread during a replay) for
// every frame; never blocks or allocates.
void CAudio::PushFrame(int32_t left, int32_t right) {
  // The reference track takes the same index as the record track's entry of this frame.
  const auto reference =
      static_cast<ReferenceChannel>(m_referenceChannel.load(std::memory_order_relaxed));
  if (reference != ReferenceChannel::kNone) {
    m_referenceTrack[m_recordWrite & kRecordMask] =
        static_cast<int16_t>((reference == ReferenceChannel::kLeft ? left : right) / 65536);
  }
  // Record track: the chosen channel (by default the louder one, left when both are equal), its
  // upper 16 bits rounded toward zero. The meter shows both channels whatever is measured.
  const auto channel = static_cast<InputChannel>(m_inputChannel.load(std::memory_order_relaxed));
  const int32_t measured = MeasuredSample(left, right, channel);
  if (channel == InputChannel::kLouder) {
    PushFrameRecording(left, right, static_cast<int16_t>(measured / 65536));
    return;
  }
  RaisePeak(m_peakLeft, left);
  RaisePeak(m_peakRight, right);
  PushMeasuredFrame(measured, measured, static_cast<int16_t>(measured / 65536));
}

void CAudio::PushReplaySample(int16_t sample) {
  // A recorded sample at 16-bit full scale was clipped when it was recorded.
  if (sample >= 32767 || sample <= -32767) m_analysis.MarkClipped(CCaptureAnalysis::kClippedAtGain);
  // The analysis' scale is the capture's: s * 65535 (s * 65535 / 65536 on the track would lose
  // a step of every sample at each load and save).
  PushFrameRecording(sample * 65535, sample * 65535, sample);
}

void CAudio::ReplayAtFullSpeed(const int16_t* samples, int count, double fmin) {
  SetPointTiming(fmin);
  SetInputChannels(InputChannel::kLouder, ReferenceChannel::kNone);
  ResetAnalysis();
  SetFilePlaying(true);
  for (int i = 0; i < count; ++i) PushReplaySample(samples[i]);
  TakeReplayAsCapture();
  SetFilePlaying(false);
}

void CAudio::TakeReplayAsCapture() {
  if (m_capturedCount.load(std::memory_order_relaxed) <= 0) return;
  m_capturedCount.store(m_recordCount.load(std::memory_order_relaxed), std::memory_order_release);
}

}  // namespace quorvel

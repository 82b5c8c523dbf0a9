// The finished recording moved to the start of the record track: it must come out as the
// samples recorded from the sync on, in order, wherever on the track the capture lay.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "engine/audio_engine.h"
#include "tests/engine/engine_probe.h"
#include "tests/engine/engine_test_support.h"

namespace quorvel {

namespace {

using engine_test::To32;

// Ends the capture the way the response graph does when the curve is full: the engine then
// takes the record count at that moment as the recording's length.
class CompletingListener : public ICurveListener {
 public:
  static constexpr int kCurvePoints = 1001;
  int m_points = 0;
  bool AddPoint(double) override { return ++m_points == kCurvePoints + 1; }
};

// Records `leadFrames` frames of idle input (no analysis) after the reset, then the whole
// generated signal with the analysis on. Every record sample is kept in `history`, so the
// recording the rotation should give is the last m_capturedCount of them at the curve's end.
struct Capture {
  std::unique_ptr<CAudio> audio;
  std::vector<int16_t> history;  // every record sample, in recording order
  size_t historyAtEnd = 0;       // record samples up to the block that completed the curve
};

Capture RunCapture(CompletingListener& listener, int leadFrames) {
  Capture capture;
  capture.audio = std::make_unique<CAudio>(nullptr, &listener);
  CAudio& audio = *capture.audio;
  const int length = audio.GenerateSweep(20.0, 20000.0);
  audio.ResetAnalysis();
  capture.history.reserve(static_cast<size_t>(leadFrames + length));
  // Idle input: a slow ramp, so that any misplaced sample shows.
  for (int n = 0; n < leadFrames; ++n) {
    const auto s = static_cast<int16_t>((n % 20001) - 10000);
    audio.PushFrame(To32(s), 0);
    capture.history.push_back(s);
  }
  audio.SetSweepPlaying(true);
  for (int i = 0; i < length; ++i) {
    audio.PushFrame(To32(audio.Sweep()[i]), To32(audio.Sweep()[i]));
    capture.history.push_back(audio.Sweep()[i]);
    if (listener.m_points == CompletingListener::kCurvePoints + 1 && capture.historyAtEnd == 0) {
      capture.historyAtEnd = capture.history.size();
    }
  }
  audio.SetSweepPlaying(false);
  return capture;
}

void ExpectRotatedRecording(const Capture& capture) {
  const CAudio& audio = *capture.audio;
  const std::span<const int16_t> recording = audio.Recording();
  const auto count = static_cast<int>(recording.size());
  ASSERT_GE(capture.historyAtEnd, static_cast<size_t>(count));
  const size_t first = capture.historyAtEnd - static_cast<size_t>(count);
  int wrong = 0;
  int firstWrong = -1;
  for (int i = 0; i < count; ++i) {
    if (recording[static_cast<size_t>(i)] != capture.history[first + static_cast<size_t>(i)]) {
      if (firstWrong < 0) firstWrong = i;
      ++wrong;
    }
  }
  EXPECT_EQ(wrong, 0) << "first wrong entry " << firstWrong << " of " << count;
}

TEST(RecordTrackTest, RecordingInsideTheTrackMovesToIndexZero) {
  CompletingListener listener;
  Capture capture = RunCapture(listener, 0);
  ASSERT_GT(listener.m_points, CompletingListener::kCurvePoints);
  const int count = capture.audio->Counters().capturedCount;
  // The burst comes before 25440 samples have been recorded (it is found in the block that ends
  // at 24960), so the recording starts with the capture; then the 48 settling blocks, the 4 that
  // a 20 Hz sweep skips, the 1001 points' blocks and the one that found the curve full.
  EXPECT_EQ(CAudioProbe::RecordStart(*capture.audio), 0);
  EXPECT_EQ(static_cast<size_t>(count), capture.historyAtEnd);
  EXPECT_EQ(count, 24960 + (48 + 4 + 1001) * 960);
  capture.audio->RotateRecordTrack();
  ExpectRotatedRecording(capture);
}

TEST(RecordTrackTest, RecordingThatRunsOverTheEndOfTheTrackStaysWhole) {
  // The burst is found at 3,500,000 samples into the track (a sweep that was missed and played
  // again): the recording's last million samples lie at the start of the track.
  CompletingListener listener;
  Capture capture = RunCapture(listener, 3500000 - 72000);
  ASSERT_GT(listener.m_points, CompletingListener::kCurvePoints);
  const int start = CAudioProbe::RecordStart(*capture.audio);
  const int count = capture.audio->Counters().capturedCount;
  ASSERT_GT(start + count, CAudio::kRecordSize);
  capture.audio->RotateRecordTrack();
  ExpectRotatedRecording(capture);
}

TEST(RecordTrackTest, RecordingWhoseStartLiesBeforeTheWrapPointStaysWhole) {
  // The burst is found just after the track has wrapped: the 25440 samples kept before it lie at
  // the end of the track, the rest from index 0 on.
  CompletingListener listener;
  Capture capture = RunCapture(listener, CAudio::kRecordSize - 10000);
  ASSERT_GT(listener.m_points, CompletingListener::kCurvePoints);
  const int start = CAudioProbe::RecordStart(*capture.audio);
  ASSERT_GT(start, CAudio::kRecordSize - 25440);
  capture.audio->RotateRecordTrack();
  ExpectRotatedRecording(capture);
}

}  // namespace

}  // namespace quorvel

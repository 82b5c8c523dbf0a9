// ResetAnalysis while a capture thread pushes frames: the reset is handed to that thread, so
// the analysis state has one owner at a time (the thread sanitizer run checks this too).
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <thread>

#include "engine/audio_engine.h"
#include "tests/engine/engine_probe.h"

namespace quorvel {

namespace {

constexpr int kFramesPerPoll = 48;  // 1 ms of frames at 48000 Hz

constexpr int kFrameValues = 32000;  // frame numbers repeat after this many frames

// The record sample of frame n (counted from 1): the frames are numbered 1..32000 over and
// over, so the record track tells which frames it holds however long the thread runs.
int RecordValue(int n) {
  return (n - 1) % kFrameValues + 1;
}
// Frame n carries its record value in its upper 16 bits.
int32_t FrameValue(int n) {
  return RecordValue(n) * 65536;
}

// A stand-in for the capture thread: polls every millisecond, pushes one packet of frames,
// then services a pending reset, until stopped. It clears the run flag when it ends, as the
// capture thread does.
class FakeCaptureThread {
 public:
  explicit FakeCaptureThread(CAudio& audio) : m_audio(audio) {
    CAudioProbe::Capturing(m_audio).store(1, std::memory_order_release);
    m_thread = std::thread([this] { Run(); });
  }
  ~FakeCaptureThread() { Stop(); }

  void Stop() {
    m_stop.store(true);
    if (m_thread.joinable()) m_thread.join();
  }

  int Pushed() const { return m_pushed.load(); }
  int ResetsSeen() const { return m_resetsSeen.load(); }
  int FramesAfterLastReset() const { return m_afterReset.load(); }

 private:
  void Run() {
    int n = 1;
    while (!m_stop.load()) {
      // The thread never runs out of frames, however late the other side comes.
      for (int i = 0; i < kFramesPerPoll; ++i, ++n) {
        m_audio.PushFrame(FrameValue(n), -FrameValue(n) / 2);
        m_afterReset.fetch_add(1);
      }
      m_pushed.store(n - 1);
      const int writeBefore = CAudioProbe::RecordWrite(m_audio);
      m_audio.ServiceResetRequest();
      if (CAudioProbe::RecordWrite(m_audio) < writeBefore) {
        m_afterReset.store(0);
        m_resetsSeen.fetch_add(1);
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    CAudioProbe::Capturing(m_audio).store(0, std::memory_order_release);
  }

  CAudio& m_audio;
  std::thread m_thread;
  std::atomic<bool> m_stop{false};
  std::atomic<int> m_pushed{0};
  std::atomic<int> m_resetsSeen{0};
  std::atomic<int> m_afterReset{0};
};

void WaitUntil(const std::function<bool()>& condition) {
  for (int i = 0; i < 20000 && !condition(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

TEST(ResetHandOffTest, CaptureThreadPerformsTheResetBetweenTwoPackets) {
  auto audio = std::make_unique<CAudio>();
  FakeCaptureThread capture(*audio);
  WaitUntil([&] { return capture.Pushed() >= 4800; });
  ASSERT_GE(capture.Pushed(), 4800);
  const int pushedBeforeReset = capture.Pushed();

  audio->ResetAnalysis();
  // When ResetAnalysis returns, the capture thread has done the reset.
  EXPECT_EQ(CAudioProbe::ResetRequested(*audio), 0);
  WaitUntil([&] { return capture.ResetsSeen() >= 1; });
  EXPECT_EQ(capture.ResetsSeen(), 1);

  WaitUntil([&] { return capture.FramesAfterLastReset() >= 960; });
  capture.Stop();
  EXPECT_EQ(CAudioProbe::Capturing(*audio).load(), 0);

  // What the track holds is one unbroken run of the frames pushed after the reset: no frame of
  // before the reset is left, and none after it is lost.
  const int written = CAudioProbe::RecordWrite(*audio);
  ASSERT_GE(written, 960);
  EXPECT_EQ(written, capture.FramesAfterLastReset());
  EXPECT_GE(capture.Pushed(), pushedBeforeReset + written);
  EXPECT_EQ(audio->Counters().recordCount, written);
  const int first = CAudioProbe::RecordTrack(*audio)[0];
  for (int i = 1; i < written; ++i) {
    ASSERT_EQ(CAudioProbe::RecordTrack(*audio)[i], RecordValue(first + i)) << "index " << i;
  }
  for (int i = written; i < written + 40000; ++i)
    ASSERT_EQ(CAudioProbe::RecordTrack(*audio)[i], 0) << i;
  EXPECT_EQ(CAudioProbe::RingLeft(*audio)[(written - 1) & CAudio::kRingMask],
            FrameValue(first + written - 1));
}

TEST(ResetHandOffTest, RepeatedResetsDuringAnAnalysedCaptureAreEachHandedOver) {
  auto audio = std::make_unique<CAudio>();
  ASSERT_GT(audio->GenerateSweep(20.0, 20000.0), 0);
  audio->SetSweepPlaying(true);  // the detector runs on the capture thread too
  FakeCaptureThread capture(*audio);
  for (int round = 1; round <= 10; ++round) {
    WaitUntil([&] { return capture.FramesAfterLastReset() >= 1000; });
    audio->ResetAnalysis();
    EXPECT_EQ(CAudioProbe::ResetRequested(*audio), 0);
    WaitUntil([&] { return capture.ResetsSeen() >= round; });
    ASSERT_EQ(capture.ResetsSeen(), round);
  }
  capture.Stop();
  audio->SetSweepPlaying(false);
  EXPECT_EQ(audio->Counters().recordCount, CAudioProbe::RecordWrite(*audio));
  EXPECT_EQ(CAudioProbe::RecordWrite(*audio), capture.FramesAfterLastReset());
}

TEST(ResetHandOffTest, ResetAfterTheCaptureThreadHasEndedIsDoneAtOnce) {
  auto audio = std::make_unique<CAudio>();
  {
    FakeCaptureThread capture(*audio);
    WaitUntil([&] { return capture.Pushed() >= 480; });
  }
  ASSERT_EQ(CAudioProbe::Capturing(*audio).load(), 0);
  ASSERT_GT(CAudioProbe::RecordWrite(*audio), 0);
  audio->ResetAnalysis();
  EXPECT_EQ(CAudioProbe::RecordWrite(*audio), 0);
  EXPECT_EQ(CAudioProbe::RecordTrack(*audio)[0], 0);
  EXPECT_EQ(CAudioProbe::ResetRequested(*audio), 0);
}

}  // namespace

}  // namespace quorvel

// The one-shot timer: a routine runs once per shot, after its delay, on the timer's own
// thread; stopping drops waiting shots and leaves no thread.
#include "audio/one_shot_timer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "tests/audio/audio_test_support.h"

namespace quorvel {

namespace {

struct Shots {
  std::atomic<int> runs{0};
  std::atomic<bool> otherThread{true};
  std::thread::id caller = std::this_thread::get_id();
  std::chrono::steady_clock::time_point firstRun{};

  static void Routine(void* context) {
    auto* shots = static_cast<Shots*>(context);
    if (shots->runs.load() == 0) shots->firstRun = std::chrono::steady_clock::now();
    if (std::this_thread::get_id() == shots->caller) shots->otherThread = false;
    shots->runs.fetch_add(1);
  }
};

TEST(OneShotTimer, RunsTheRoutineOnceAfterItsDelayOnItsOwnThread) {
  Shots shots;
  COneShotTimer timer(&Shots::Routine, &shots);
  EXPECT_FALSE(timer.Schedule(20));  // not started yet
  ASSERT_TRUE(timer.Start());
  const auto asked = std::chrono::steady_clock::now();
  ASSERT_TRUE(timer.Schedule(20));
  EXPECT_TRUE(timer.IsBusy());
  ASSERT_TRUE(timer.WaitIdle(5000));
  EXPECT_EQ(shots.runs.load(), 1);
  EXPECT_TRUE(shots.otherThread.load());
  // Never before its delay.
  EXPECT_GE(shots.firstRun - asked, std::chrono::milliseconds(20));
  // It does not run again by itself.
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(shots.runs.load(), 1);
}

TEST(OneShotTimer, EveryShotRunsOnceUpToTheWaitingLimit) {
  Shots shots;
  COneShotTimer timer(&Shots::Routine, &shots);
  ASSERT_TRUE(timer.Start());
  for (int i = 0; i < COneShotTimer::kMaxPending; ++i) EXPECT_TRUE(timer.Schedule(200));
  EXPECT_FALSE(timer.Schedule(200));  // every slot waits
  ASSERT_TRUE(timer.WaitIdle(10000));
  EXPECT_EQ(shots.runs.load(), COneShotTimer::kMaxPending);
  EXPECT_TRUE(timer.Schedule(0));
  ASSERT_TRUE(timer.WaitIdle(5000));
  EXPECT_EQ(shots.runs.load(), COneShotTimer::kMaxPending + 1);
}

TEST(OneShotTimer, StoppingDropsWaitingShotsAndEndsTheThread) {
  Shots shots;
  {
    COneShotTimer timer(&Shots::Routine, &shots);
    ASSERT_TRUE(timer.Start());
    ASSERT_TRUE(timer.Schedule(60000));
    timer.Stop();
    EXPECT_FALSE(timer.IsRunning());
    EXPECT_FALSE(timer.IsBusy());
    EXPECT_FALSE(timer.Schedule(10));
    // It can start again.
    ASSERT_TRUE(timer.Start());
    ASSERT_TRUE(timer.Schedule(60000));
  }  // destroyed with a shot waiting
  EXPECT_EQ(shots.runs.load(), 0);
}

TEST(OneShotTimer, SchedulingFromManyThreadsAtOnce) {
  Shots shots;
  COneShotTimer timer(&Shots::Routine, &shots);
  ASSERT_TRUE(timer.Start());
  std::atomic<int> accepted{0};
  std::thread a([&] {
    for (int i = 0; i < 4; ++i) accepted += timer.Schedule(5) ? 1 : 0;
  });
  std::thread b([&] {
    for (int i = 0; i < 4; ++i) accepted += timer.Schedule(5) ? 1 : 0;
  });
  a.join();
  b.join();
  ASSERT_TRUE(timer.WaitIdle(5000));
  EXPECT_GE(accepted.load(), 1);
  EXPECT_EQ(shots.runs.load(), accepted.load());
}

}  // namespace

}  // namespace quorvel

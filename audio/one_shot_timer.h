#pragma once

#include <atomic>
#include <cstdint>
#include <thread>

#include "audio/auto_reset_event.h"

namespace quorvel {

// A one-shot timer service: runs a fixed routine once, a given delay after it was asked for
// (the deferred playback stop: 20 ms after the user asks, 100 ms after the play thread ends),
// on a thread of its own -- never on the user-interface thread or the play thread.
//
// The timer's thread is started by Start() (user-interface thread) and ends by itself when the
// timer is stopped or destroyed: pending shots are dropped, a routine that is running is
// allowed to finish, then the thread is joined. Nothing is ever killed.
//
// Schedule() may be called from any thread, the play thread included: it takes no lock,
// allocates nothing and never waits.
class COneShotTimer {
 public:
  using Routine = void (*)(void* context);
  static constexpr int kMaxPending = 8;  // shots that may wait at the same time

  COneShotTimer(Routine routine, void* context);
  ~COneShotTimer();
  COneShotTimer(const COneShotTimer&) = delete;
  COneShotTimer& operator=(const COneShotTimer&) = delete;

  // Starts the timer's thread if it is not running. User-interface thread. False when the
  // thread cannot be created.
  [[nodiscard]] bool Start();
  // Drops pending shots, lets a running routine finish and joins the thread.
  // User-interface thread (never the timer's own thread).
  void Stop();
  bool IsRunning() const { return m_running.load(std::memory_order_acquire) != 0; }

  // Runs the routine once, delayMs [ms] from now. Any thread; never blocks or allocates.
  // False when the timer's thread is not running or kMaxPending shots are already waiting.
  [[nodiscard]] bool Schedule(int delayMs);

  // True while a shot waits or the routine runs. Any thread.
  [[nodiscard]] bool IsBusy() const;
  // Waits until no shot waits and the routine does not run, at most timeoutMs [ms].
  // Never called on the timer's own thread. True when idle.
  [[nodiscard]] bool WaitIdle(int timeoutMs) const;

 private:
  void ThreadProc();

  Routine m_routine;
  void* m_context;
  std::atomic<int64_t> m_due[kMaxPending];  // steady-clock time of a waiting shot [ns]; 0: free
  std::atomic<int32_t> m_inRoutine{0};
  std::atomic<int32_t> m_quit{0};
  std::atomic<int32_t> m_running{0};
  CAutoResetEvent m_wake;
  std::thread m_thread;
};

}  // namespace quorvel

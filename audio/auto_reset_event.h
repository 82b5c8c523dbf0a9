#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>

namespace quorvel {

// An auto-reset event: Signal() lets the next Wait() through; signals given while it is set
// count as one. The waiter sleeps on a futex at once, without the spinning and yielding a
// standard semaphore does first. Signal: any thread, never blocks, locks or allocates. Wait and
// Clear: one waiting thread at a time.
class CAutoResetEvent {
 public:
  void Signal();
  // Sleeps until the event is set, at most `timeout`, and takes the signal. True when it was set.
  bool Wait(std::chrono::nanoseconds timeout);
  void Clear() { m_state.store(kClear, std::memory_order_release); }  // drops a signal

 private:
  enum : int32_t { kClear, kSet, kWaiting };  // kWaiting: clear, and the waiter sleeps
  std::atomic<int32_t> m_state{kClear};
};

}  // namespace quorvel

#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>

namespace quorvel {

// An auto-reset event: Signal() lets the next Wait() through, and signals given while the
// event is already set count as one. The waiter sleeps in the kernel at once (a futex), without
// the spinning and yielding a standard semaphore does first, so each wake-up costs one system
// call on either side and no processor time while it waits.
//
// Signal: any thread (a device's notification thread, the mainloop, a stopping thread); never
// blocks, locks or allocates. Wait and Clear: one waiting thread at a time.
class CAutoResetEvent {
 public:
  // Any thread; never blocks, locks or allocates.
  void Signal();
  // Sleeps until the event is set, at most `timeout`, and takes the signal (the event is clear
  // again). True when it was set.
  bool Wait(std::chrono::nanoseconds timeout);
  // Drops a signal not yet taken, before a new waiter starts.
  void Clear() { m_state.store(kClear, std::memory_order_release); }

 private:
  static constexpr int32_t kClear = 0;
  static constexpr int32_t kSet = 1;
  static constexpr int32_t kWaiting = 2;  // clear, and the waiter sleeps: a signal must wake it
  std::atomic<int32_t> m_state{kClear};
};

}  // namespace quorvel

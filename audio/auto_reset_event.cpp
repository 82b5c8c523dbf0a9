#include "audio/auto_reset_event.h"

#include <linux/futex.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <ctime>

namespace quorvel {

static_assert(sizeof(std::atomic<int32_t>) == sizeof(int32_t));  // the futex word itself

void CAutoResetEvent::Signal() {
  if (m_state.exchange(kSet, std::memory_order_acq_rel) == kWaiting) {
    syscall(SYS_futex, reinterpret_cast<int32_t*>(&m_state), FUTEX_WAKE_PRIVATE, 1, nullptr,
            nullptr, 0);
  }
}

bool CAutoResetEvent::Wait(std::chrono::nanoseconds timeout) {
  using Clock = std::chrono::steady_clock;
  const Clock::time_point deadline = Clock::now() + timeout;
  for (;;) {
    int32_t state = kSet;
    if (m_state.compare_exchange_strong(state, kClear, std::memory_order_acq_rel)) return true;
    // Not set: the sleep is announced (kWaiting), unless the state changed meanwhile.
    if (state == kClear &&
        !m_state.compare_exchange_strong(state, kWaiting, std::memory_order_acq_rel)) {
      continue;
    }
    const int64_t left =
        std::chrono::duration_cast<std::chrono::nanoseconds>(deadline - Clock::now()).count();
    if (left <= 0) {
      state = kWaiting;  // gives up, unless it was set meanwhile
      if (m_state.compare_exchange_strong(state, kClear, std::memory_order_acq_rel)) return false;
      continue;
    }
    const timespec relative{static_cast<time_t>(left / 1000000000),
                            static_cast<long>(left % 1000000000)};
    // Sleeps only while the word still says kWaiting; a signal, the timeout or an interruption
    // ends it.
    syscall(SYS_futex, reinterpret_cast<int32_t*>(&m_state), FUTEX_WAIT_PRIVATE, kWaiting,
            &relative, nullptr, 0);
  }
}

}  // namespace quorvel

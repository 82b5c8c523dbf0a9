#include "audio/auto_reset_event.h"

#include <linux/futex.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <ctime>

namespace quorvel {

namespace {

// The futex word is the atomic's own storage (a lock-free 32-bit atomic holds just the value).
static_assert(sizeof(std::atomic<int32_t>) == sizeof(int32_t));

int32_t* Word(std::atomic<int32_t>& state) {
  return reinterpret_cast<int32_t*>(&state);
}

}  // namespace

void CAutoResetEvent::Signal() {
  if (m_state.exchange(kSet, std::memory_order_acq_rel) == kWaiting) {
    syscall(SYS_futex, Word(m_state), FUTEX_WAKE_PRIVATE, 1, nullptr, nullptr, 0);
  }
}

bool CAutoResetEvent::Wait(std::chrono::nanoseconds timeout) {
  using Clock = std::chrono::steady_clock;
  const Clock::time_point deadline = Clock::now() + timeout;
  int32_t state = m_state.load(std::memory_order_acquire);
  for (;;) {
    if (state == kSet) {
      if (m_state.compare_exchange_weak(state, kClear, std::memory_order_acq_rel)) return true;
      continue;
    }
    if (state == kClear &&
        !m_state.compare_exchange_weak(state, kWaiting, std::memory_order_acq_rel)) {
      continue;
    }
    const auto left = std::chrono::duration_cast<std::chrono::nanoseconds>(deadline - Clock::now());
    if (left.count() <= 0) {
      state = kWaiting;
      if (m_state.compare_exchange_strong(state, kClear, std::memory_order_acq_rel)) return false;
      continue;  // set meanwhile: take it
    }
    timespec relative{};
    relative.tv_sec = static_cast<time_t>(left.count() / 1000000000);
    relative.tv_nsec = static_cast<long>(left.count() % 1000000000);
    // Sleeps only while the word still says kWaiting; a signal, a timeout or an interruption
    // ends it, and the loop looks again.
    syscall(SYS_futex, Word(m_state), FUTEX_WAIT_PRIVATE, kWaiting, &relative, nullptr, 0);
    state = m_state.load(std::memory_order_acquire);
  }
}

}  // namespace quorvel

#include "audio/one_shot_timer.h"

#include <chrono>
#include <system_error>

namespace quorvel {

namespace {

int64_t NowNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

// Longest sleep of the timer's thread. A shot scheduled and a stop request wake it at once, so
// with nothing scheduled it sleeps; this only bounds one wait.
constexpr int64_t kMaxSleepNs = 60'000'000'000;

}  // namespace

COneShotTimer::COneShotTimer(Routine routine, void* context)
    : m_routine(routine), m_context(context) {
  for (auto& due : m_due) due.store(0, std::memory_order_relaxed);
}

COneShotTimer::~COneShotTimer() {
  Stop();
}

bool COneShotTimer::Start() {
  if (m_thread.joinable()) return true;
  m_quit.store(0, std::memory_order_release);
  m_running.store(1, std::memory_order_release);
  try {
    m_thread = std::thread(&COneShotTimer::ThreadProc, this);
  } catch (const std::system_error&) {
    m_running.store(0, std::memory_order_release);
    return false;
  }
  return true;
}

void COneShotTimer::Stop() {
  if (!m_thread.joinable()) return;
  m_running.store(0, std::memory_order_release);
  m_quit.store(1, std::memory_order_release);
  m_wake.Signal();
  m_thread.join();  // the thread ends by itself within one routine run and one wake-up
  for (auto& due : m_due) due.store(0, std::memory_order_relaxed);
}

// Any thread; never blocks or allocates.
bool COneShotTimer::Schedule(int delayMs) {
  if (m_running.load(std::memory_order_acquire) == 0) return false;
  if (delayMs < 0) delayMs = 0;
  int64_t due = NowNs() + static_cast<int64_t>(delayMs) * 1'000'000;
  if (due <= 0) due = 1;
  for (auto& slot : m_due) {
    int64_t expected = 0;
    if (slot.compare_exchange_strong(expected, due, std::memory_order_acq_rel)) {
      m_wake.Signal();
      return true;
    }
  }
  return false;
}

bool COneShotTimer::IsBusy() const {
  if (m_inRoutine.load(std::memory_order_acquire) != 0) return true;
  for (const auto& slot : m_due) {
    if (slot.load(std::memory_order_acquire) != 0) return true;
  }
  return false;
}

bool COneShotTimer::WaitIdle(int timeoutMs) const {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (IsBusy()) {
    if (std::chrono::steady_clock::now() >= end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

void COneShotTimer::ThreadProc() {
  while (m_quit.load(std::memory_order_acquire) == 0) {
    const int64_t now = NowNs();
    int64_t earliest = 0;
    for (auto& slot : m_due) {
      const int64_t due = slot.load(std::memory_order_acquire);
      if (due == 0) continue;
      if (due <= now) {
        // Marked as running before the slot is freed, so WaitIdle never sees a gap.
        m_inRoutine.store(1, std::memory_order_release);
        int64_t expected = due;
        if (slot.compare_exchange_strong(expected, 0, std::memory_order_acq_rel) &&
            m_quit.load(std::memory_order_acquire) == 0) {
          m_routine(m_context);
        }
        m_inRoutine.store(0, std::memory_order_release);
        continue;
      }
      if (earliest == 0 || due < earliest) earliest = due;
    }
    int64_t waitNs = kMaxSleepNs;
    if (earliest != 0) {
      const int64_t left = earliest - NowNs();
      if (left < waitNs) waitNs = left;
    }
    if (waitNs <= 0) continue;
    static_cast<void>(m_wake.Wait(std::chrono::nanoseconds(waitNs)));
  }
}

}  // namespace quorvel

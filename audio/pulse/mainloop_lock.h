#pragma once

#include <pulse/thread-mainloop.h>

namespace quorvel {

// Holds libpulse's threaded mainloop lock for its scope (never on the mainloop's own thread,
// whose callbacks hold it, nor on the engine's capture or play thread).
class CMainloopLock {
 public:
  explicit CMainloopLock(pa_threaded_mainloop* mainloop) : m_pMainloop(mainloop) {
    pa_threaded_mainloop_lock(m_pMainloop);
  }
  ~CMainloopLock() { pa_threaded_mainloop_unlock(m_pMainloop); }
  CMainloopLock(const CMainloopLock&) = delete;
  CMainloopLock& operator=(const CMainloopLock&) = delete;

 private:
  pa_threaded_mainloop* m_pMainloop;
};

}  // namespace quorvel

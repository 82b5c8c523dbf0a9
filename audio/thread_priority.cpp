#include "audio/thread_priority.h"

#include <pthread.h>
#include <sched.h>

#include <cstdlib>
#include <cstring>

namespace quorvel {

bool RaiseCurrentThreadPriority(AudioThreadRole role) {
  // QUORVEL_NO_REALTIME=1 keeps every thread at normal priority (debugging, profiling).
  const char* off = std::getenv("QUORVEL_NO_REALTIME");
  if (off != nullptr && off[0] == '1') return false;
  const int low = sched_get_priority_min(SCHED_RR);
  const int high = sched_get_priority_max(SCHED_RR);
  if (low < 0 || high < low) return false;
  // Modest real-time levels: enough to run ahead of ordinary work, far below the system's own
  // real-time threads.
  sched_param param{};
  // The services' thread feeds both, so it runs with the capture thread, above the play thread.
  param.sched_priority = low + (role == AudioThreadRole::kPlay ? 9 : 10);
  if (param.sched_priority > high) param.sched_priority = high;
  return pthread_setschedparam(pthread_self(), SCHED_RR, &param) == 0;
}

void NameCurrentThread(const char* name) {
  char shortName[16] = {};
  std::strncpy(shortName, name, sizeof(shortName) - 1);
  pthread_setname_np(pthread_self(), shortName);
}

}  // namespace quorvel

#pragma once

#include <chrono>
#include <cstdlib>
#include <functional>
#include <thread>

namespace quorvel {

// Clock factor of the simulated devices in the threaded tests: 10 times real time (a complete
// measurement takes about 2.2 s); QUORVEL_TEST_CLOCK_FACTOR overrides it.
inline double TestClockFactor() {
  const char* text = std::getenv("QUORVEL_TEST_CLOCK_FACTOR");
  const double factor = text != nullptr ? std::atof(text) : 0.0;
  return factor >= 1.0 ? factor : 10.0;
}

// Waits until `done` holds, looking every millisecond, at most timeoutMs. True when it holds.
inline bool WaitFor(const std::function<bool()>& done, int timeoutMs) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!done()) {
    if (std::chrono::steady_clock::now() >= end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

}  // namespace quorvel

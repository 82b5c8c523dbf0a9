// The play thread's stall rule, alone: a play position that stands still for kOutputStallMs
// while buffers wait is a stall, once the output has started and its position has moved.
#include "engine/output_watchdog.h"

#include <gtest/gtest.h>

#include <vector>

namespace quorvel {

namespace {

constexpr uint32_t K = kOutputStallMs;

struct Look {
  bool restart;       // the queue is rebuilt before this look
  bool playing;       // started, no underflow since, position known
  uint64_t position;  // [frames]
  uint32_t nowMs;
  bool stalled;  // what the look must find
};

TEST(OutputWatchdog, AStallIsAPositionStandingStillAfterItHasMoved) {
  struct Case {
    const char* name;
    std::vector<Look> looks;
  };
  const Case cases[] = {
      {"an output that has not started is never judged",
       {{false, false, 0, 0, false}, {false, false, 0, 10 * K, false}}},
      {"a position held since the start (the device's latency) is no stall",
       {{false, true, 0, 0, false}, {false, true, 0, 10 * K, false}}},
      {"moved, then still for longer than the limit",
       {{false, true, 0, 0, false},
        {false, true, 480, 100, false},
        {false, true, 480, 100 + K, false},
        {false, true, 480, 101 + K, true}}},
      {"a position that keeps moving",
       {{false, true, 0, 0, false},
        {false, true, 480, 2 * K, false},
        {false, true, 960, 4 * K, false}}},
      {"an underflow starts the watch again",
       {{false, true, 0, 0, false},
        {false, true, 480, 100, false},
        {false, false, 480, 200, false},
        {false, true, 480, 300, false},
        {false, true, 480, 300 + 2 * K, false},
        {false, true, 960, 400 + 2 * K, false},
        {false, true, 960, 401 + 3 * K, true}}},
      {"a rebuilt queue starts the watch again",
       {{false, true, 0, 0, false},
        {false, true, 480, 100, false},
        {true, true, 480, 200, false},
        {false, true, 480, 200 + 2 * K, false}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    COutputWatchdog watchdog;
    for (size_t i = 0; i < c.looks.size(); ++i) {
      const Look& look = c.looks[i];
      if (look.restart) watchdog.Reset();
      EXPECT_EQ(watchdog.Stalled(look.playing, look.position, look.nowMs), look.stalled)
          << "look " << i;
    }
  }
}

}  // namespace

}  // namespace quorvel

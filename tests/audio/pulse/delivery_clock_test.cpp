// A record stream's deliveries against the clock: fragments that only come late are not lost,
// the time a server stood still is, and a device clock that runs apart never adds up to a loss.
#include "audio/pulse/delivery_clock.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace quorvel {
namespace {

struct Stream {
  const char* what;
  uint64_t fragmentFrames;  // delivered together
  double ppm;               // the device's clock slower than this machine's by this much
  double seconds;           // of the device's time
  double pauseAtSeconds;    // a pause of the deliveries at this device time (none if negative)
  double pauseMs;
  bool pauseLosesFrames;  // the server went on where it stopped; else the frames come late
  uint64_t lostAtLeast, lostAtMost;
};

TEST(DeliveryClock, CountsOnlyTheTimeAServerStoodStill) {
  const Stream streams[] = {
      {"steady 10 ms fragments", 480, 0, 60, -1, 0, false, 0, 0},
      {"a slow device clock for an hour", 480, 500, 3600, -1, 0, false, 0, 0},
      {"a fast device clock for an hour", 480, -500, 3600, -1, 0, false, 0, 0},
      {"frames 900 ms late, then all at once", 480, 0, 20, 7, 900, false, 0, 0},
      {"a server stopped 300 ms", 1024, 0, 20, 7, 300, true, 14400 - 1024, 14400 + 1024},
      {"a server stopped 2 s", 480, 0, 20, 7, 2000, true, 96000 - 480, 96000 + 480},
      {"a server stopped 50 ms: left to the gap of zeros", 1024, 0, 20, 7, 50, true, 0, 0},
  };
  for (const Stream& s : streams) {
    SCOPED_TRACE(s.what);
    CDeliveryClock clock;
    clock.Restart(48000);
    uint64_t lost = 0;
    uint64_t pending = 0;  // frames held back by a late pause
    const auto total = static_cast<uint64_t>(s.seconds * 48000);
    const bool pauses = s.pauseAtSeconds >= 0;
    const auto pauseAt = static_cast<uint64_t>(pauses ? s.pauseAtSeconds * 48000 : 0);
    for (uint64_t frame = s.fragmentFrames; frame <= total; frame += s.fragmentFrames) {
      double us = static_cast<double>(frame) / 48000 * 1e6 * (1 + s.ppm * 1e-6);
      const bool paused = pauses && frame > pauseAt;
      if (paused && s.pauseLosesFrames) us += s.pauseMs * 1000;
      if (paused && !s.pauseLosesFrames && us < s.pauseAtSeconds * 1e6 + s.pauseMs * 1000) {
        pending += s.fragmentFrames;
        continue;
      }
      lost += clock.Delivered(pending + s.fragmentFrames, static_cast<uint64_t>(us));
      pending = 0;
    }
    EXPECT_GE(lost, s.lostAtLeast);
    EXPECT_LE(lost, s.lostAtMost);
  }
}

}  // namespace
}  // namespace quorvel

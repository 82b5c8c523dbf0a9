// The verdict on recordings made through the simulated loudspeaker: genuine ones stand, hostile
// ones (a gap, no sweep after the burst, a sweep of another range) say why not.
#include "control/run/replay_verdict.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <memory>

#include "audio/sim/loudspeaker_model.h"
#include "engine/audio_engine.h"
#include "engine/curve_listener.h"

namespace quorvel {

namespace {

using Samples = std::vector<int16_t>;

// The played signal of fmin..fmax through the loudspeaker model, with `noise` steps of noise.
Samples Recorded(double fmin, double fmax, double noise = 0.0) {
  auto audio = std::make_unique<CAudio>();
  Samples out(audio->Sweep().data(), audio->Sweep().data() + audio->GenerateSweep(fmin, fmax));
  CLoudspeakerModel model;
  uint32_t state = 1;
  for (int16_t& s : out) {
    state = state * 1664525u + 1013904223u;
    const double y = model.Process(s / 32767.0) * 32767.0 + noise * (state / 2147483648.0 - 1);
    s = static_cast<int16_t>(std::lround(std::clamp(y, -32768.0, 32767.0)));
  }
  return out;
}

// Samples from `from` (to `to`) on become f(index, sample).
Samples Changed(Samples s, size_t from, const std::function<double(size_t, int)>& f,
                size_t to = 2000000) {
  for (size_t i = from; i < std::min(to, s.size()); ++i) {
    s[i] = static_cast<int16_t>(std::clamp(std::lround(f(i, s[i])), -32768L, 32767L));
  }
  return s;
}

struct PointCounter : ICurveListener {
  bool AddPoint(double) override { return ++points > 1001; }
  int points = 0;
};

TEST(ReplayVerdict, GenuineRecordingsStandAndHostileOnesSayWhyNot) {
  const Samples full = Recorded(20, 20000);
  constexpr size_t kAfterBurst = 48000;
  constexpr size_t kTenSeconds = 72000 + 480000;  // into the sweep
  uint32_t state = 1;
  const auto noise = [&state](size_t, int) {
    state = state * 1664525u + 1013904223u;
    return static_cast<double>(state >> 16) - 32768.0;
  };
  const auto floor = [&noise](size_t i, int) { return noise(i, 0) / 20000; };
  const auto tone = [](size_t i, int) { return 8000 * std::sin(0.13 * static_cast<double>(i)); };
  const auto zero = [](size_t, int) { return 0.0; };
  const std::string other = "The recording's sweep does not match the range ";
  const struct {
    Samples recording;
    double fmin, fmax;
    std::string failure;  // empty: the curve stands
  } cases[] = {
      {full, 20, 20000, ""},
      {Recorded(100, 5000), 100, 5000, ""},
      {Recorded(1000, 1100), 1000, 1100, ""},
      {Recorded(2, 24000), 2, 24000, ""},
      {Recorded(20, 20000, 6000), 20, 20000, ""},                              // noisy
      {Changed(full, 0, [](size_t, int s) { return s * 8; }), 20, 20000, ""},  // clipped
      {Changed(Samples(1000000), 940000, [&](size_t i, int) { return full[i - 940000]; }), 20,
       20000, kMsgRecordingHoldsNoPoint},  // the burst 0.5 s before the end
      {Changed(full, kTenSeconds, zero), 20, 20000, kMsgRecordingGap},
      {Changed(full, kTenSeconds, zero, kTenSeconds + 100), 20, 20000, kMsgRecordingGap},
      {Changed(full, kAfterBurst, noise), 20, 20000, kMsgRecordingNoSweep},
      {Changed(full, kAfterBurst, floor), 20, 20000, kMsgRecordingNoSweep},
      {Changed(full, kAfterBurst, tone), 20, 20000, kMsgRecordingNoSweep},
      {full, 2000, 20000, other + "2000.00-20000.00 Hz"},  // a title "20000-20 Hz"
      {full, 20, 1000, other + "20.00-1000.00 Hz"},
      {Recorded(1000, 1100), 20, 20000, other + "20.00-20000.00 Hz"},
  };
  for (const auto& c : cases) {
    PointCounter counter;
    auto audio = std::make_unique<CAudio>(nullptr, &counter);
    audio->ReplayAtFullSpeed(c.recording.data(), static_cast<int>(c.recording.size()), c.fmin);
    const int points = std::min(counter.points, 1001);
    EXPECT_EQ(JudgeReplay(audio->Counters(), points, c.recording, c.fmin, c.fmax).failure,
              c.failure)
        << &c - cases;
  }
}

}  // namespace

}  // namespace quorvel

#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "audio/sim/simulated_services.h"
#include "engine/audio_engine.h"
#include "tests/audio/audio_test_support.h"
#include "tests/engine/engine_probe.h"

namespace quorvel {

// An engine on the simulated loudspeaker at the test clock.
struct SimulatedEngine {
  static SimulatedAudioOptions TestOptions() {
    SimulatedAudioOptions options;
    options.clockFactor = TestClockFactor();
    return options;
  }
  CSimulatedAudioServices sim{TestOptions()};
  std::unique_ptr<CAudio> audio = std::make_unique<CAudio>(&sim);
};

// The input button's start of a capture: the inputs listed, input 0 opened, its capture
// thread started.
inline void StartCapturing(CAudio& audio) {
  int count = 0;
  ASSERT_EQ(audio.EnumerateInputDevices(&count), 0);
  ASSERT_EQ(audio.OpenInputDevice(0), 0);
  ASSERT_EQ(audio.StartCapture(), 0);
}

// True when nothing of the devices is left: no capture or play thread (object included), no
// open input or output, no queued or prepared output buffer.
inline ::testing::AssertionResult DevicesAtRest(const CAudio& audio,
                                                const CSimulatedAudioServices& sim) {
  if (audio.DeviceThreadCount() != 0) return ::testing::AssertionFailure() << "thread left";
  if (audio.IsCaptureThreadRunning()) return ::testing::AssertionFailure() << "capture flag";
  if (audio.IsPlayThreadRunning()) return ::testing::AssertionFailure() << "play flag";
  if (CAudioProbe::PlayThreadAlive(audio)) return ::testing::AssertionFailure() << "play alive";
  if (audio.IsOutputOpen()) return ::testing::AssertionFailure() << "output handle";
  if (CAudioProbe::InputOpen(audio)) return ::testing::AssertionFailure() << "input handle";
  if (sim.IsOutputOpen()) return ::testing::AssertionFailure() << "output open";
  if (sim.IsCaptureOpen()) return ::testing::AssertionFailure() << "input open";
  if (sim.QueuedBuffers() != 0) return ::testing::AssertionFailure() << "buffers queued";
  for (const PlayHeader& header : CAudioProbe::PlayHeaders(audio)) {
    if ((header.flags.load() & kHeaderPrepared) != 0 || header.data != nullptr) {
      return ::testing::AssertionFailure() << "buffer still prepared";
    }
  }
  return ::testing::AssertionSuccess();
}

}  // namespace quorvel

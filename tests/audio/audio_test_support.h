#pragma once

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "audio/sim/simulated_services.h"
#include "base/user_messages.h"
#include "engine/audio_engine.h"

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

// The messages a test would have seen in boxes.
class CRecordingMessages : public IUserMessages {
 public:
  void ShowMessage(const std::string& text, const std::string&) override {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_messages.push_back(text);
  }
  bool AskYesNo(const std::string&, const std::string&) override { return false; }
  bool ChooseSaveFile(const std::string&, const std::string&, std::string*) override {
    return false;
  }
  bool ChooseOpenFile(const std::string&, const std::string&, std::string*) override {
    return false;
  }
  bool ChooseFolder(const std::string&, const std::string&, std::string*) override { return false; }
  std::vector<std::string> Messages() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_messages;
  }

 private:
  std::mutex m_mutex;
  std::vector<std::string> m_messages;
};

// True when nothing of the devices is left: no capture or play thread (object included), no
// open input or output, no queued or prepared output buffer.
inline ::testing::AssertionResult DevicesAtRest(const CAudio& audio,
                                                const CSimulatedAudioServices& sim) {
  if (audio.DeviceThreadCount() != 0) return ::testing::AssertionFailure() << "thread left";
  if (audio.m_hCaptureThread.load() != 0) return ::testing::AssertionFailure() << "capture flag";
  if (audio.m_hPlayThread.load() != 0) return ::testing::AssertionFailure() << "play flag";
  if (audio.m_playThreadAlive.load() != 0) return ::testing::AssertionFailure() << "play alive";
  if (audio.m_hWaveOut.load() != 0) return ::testing::AssertionFailure() << "output handle";
  if (audio.m_captureOpen != 0) return ::testing::AssertionFailure() << "input handle";
  if (sim.IsOutputOpen()) return ::testing::AssertionFailure() << "output open";
  if (sim.IsCaptureOpen()) return ::testing::AssertionFailure() << "input open";
  if (sim.QueuedBuffers() != 0) return ::testing::AssertionFailure() << "buffers queued";
  for (const PlayHeader& header : audio.m_playHeaders) {
    if ((header.flags.load() & kHeaderPrepared) != 0 || header.data != nullptr) {
      return ::testing::AssertionFailure() << "buffer still prepared";
    }
  }
  return ::testing::AssertionSuccess();
}

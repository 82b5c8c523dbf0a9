#pragma once

#include <gtest/gtest.h>
#include <sys/types.h>

#include <memory>
#include <string>

#include "audio/pulse/pulse_audio_services.h"
#include "tests/audio/pulse/audio_test_server.h"

namespace quorvel {

// A private PulseAudio server: `pulseaudio -n` with only the modules of the devices
// CAudioTestServer names (null sinks and a null source), no autospawn and no configuration
// files.
class CPulseTestServer final : public CAudioTestServer {
 public:
  CPulseTestServer() = default;
  ~CPulseTestServer() override;

  const char* Name() const override { return "PulseAudio"; }
  bool Start(std::string* whyNot, bool* missing) override;
  void Kill() override;
  void Stop() override;
  void Freeze(int ms) override;
  bool Running() const override { return m_pid > 0; }
  std::string Log() const override;

  // Plays silence into the first null sink for as long as the server runs (pacat reading
  // /dev/zero), so that the sink stays at a short latency. False when pacat cannot be started.
  bool KeepNullSinkBusy();

 protected:
  std::string DescriptionProperty(const std::string& description) const override;

 private:
  pid_t m_pid = -1;
  pid_t m_keeperPid = -1;
};

// The formats the engine asks of the services: capture 48000 Hz stereo signed 32-bit, output
// 48000 Hz stereo 16-bit.
inline CaptureFormat EngineCaptureFormat() {
  CaptureFormat format;
  format.formatTag = kFormatPcm;
  format.channels = 2;
  format.samplesPerSec = 48000;
  format.blockAlign = 8;
  format.avgBytesPerSec = 384000;
  format.bitsPerSample = 32;
  return format;
}

inline PlayFormat EnginePlayFormat() {
  PlayFormat format;
  format.formatTag = kFormatPcm;
  format.channels = 2;
  format.samplesPerSec = 48000;
  format.avgBytesPerSec = 192000;
  format.blockAlign = 4;
  format.bitsPerSample = 16;
  format.extraSize = 18;
  return format;
}

// Where the pulseaudio program is, or empty when it is not installed.
std::string FindPulseAudioProgram();

// Tests against a real server: each test starts its own, connects, and ends both. Without a
// pulseaudio program the test is skipped with the reason, never passed silently.
class PulseServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string why;
    bool missing = false;
    if (!m_server.Start(&why, &missing)) {
      if (missing) GTEST_SKIP() << why;
      FAIL() << why;
    }
    // A generous bound: the server has only just started, and the machine may be loaded.
    Result<std::unique_ptr<CPulseAudioServices>> services = CPulseAudioServices::Connect(10000);
    ASSERT_TRUE(services.Ok()) << services.Message() << "\n" << m_server.Log();
    m_services = std::move(*services);
  }
  void TearDown() override {
    m_services.reset();
    m_server.Stop();
  }

  CPulseTestServer m_server;
  std::unique_ptr<CPulseAudioServices> m_services;
};

}  // namespace quorvel

#pragma once

#include <gtest/gtest.h>
#include <sys/types.h>

#include <memory>
#include <string>

#include "audio/pulse/pulse_audio_services.h"

namespace quorvel {

// A private PulseAudio server for the tests, started as a child process of the test: its own
// runtime folder in /tmp, no autospawn, no configuration files, and only these devices:
//   sink 0 "Quorvel Null Output" (quorvel_null, 48000 Hz stereo, the default output),
//   sink 1 "Quorvel Second Null Output With A Long Description" (quorvel_second),
//   source "Quorvel Null Microphone" (quorvel_mic, a real input that records silence),
// plus the two sinks' monitors. PULSE_SERVER points at it while it runs.
class CPulseTestServer {
 public:
  static constexpr const char* kNullSinkDescription = "Quorvel Null Output";
  static constexpr const char* kSecondSinkDescription =
      "Quorvel Second Null Output With A Long Description";
  static constexpr const char* kMicrophoneDescription = "Quorvel Null Microphone";

  CPulseTestServer() = default;
  ~CPulseTestServer();
  CPulseTestServer(const CPulseTestServer&) = delete;
  CPulseTestServer& operator=(const CPulseTestServer&) = delete;

  // Starts the server and waits until its socket accepts connections. False with the reason
  // when it cannot; `missing` is set when no pulseaudio program is installed at all.
  bool Start(std::string* whyNot, bool* missing);
  // Ends the server at once (SIGKILL), as a crash would, and reaps it.
  void Kill();
  // Ends the server politely (SIGTERM, SIGKILL after 5 s) and reaps it.
  void Stop();
  // Plays silence into the first null sink for as long as the server runs (pacat reading
  // /dev/zero), so that the sink stays at a short latency. An idle null sink renders about two
  // seconds ahead, and a stream that starts then waits that long before its first buffer is
  // taken. False when pacat cannot be started.
  bool KeepNullSinkBusy();
  // Runs pactl against the server; its standard output, and its exit status in `status`
  // (-1 when it could not run).
  std::string Pactl(const std::string& arguments, int* status = nullptr) const;

  bool Running() const { return m_pid > 0; }
  const std::string& Folder() const { return m_folder; }
  std::string Log() const;

 private:
  static void Reap(pid_t* pid, int signalNumber, int graceMs);

  pid_t m_pid = -1;
  pid_t m_keeperPid = -1;
  std::string m_folder;
  std::string m_previousServer;
  bool m_hadPreviousServer = false;
  bool m_serverSet = false;
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
    m_services = CPulseAudioServices::Connect(&why, 10000);
    ASSERT_NE(m_services, nullptr) << why << "\n" << m_server.Log();
  }
  void TearDown() override {
    m_services.reset();
    m_server.Stop();
  }

  CPulseTestServer m_server;
  std::unique_ptr<CPulseAudioServices> m_services;
};

}  // namespace quorvel

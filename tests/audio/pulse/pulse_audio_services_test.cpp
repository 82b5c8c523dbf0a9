// The libpulse audio services against a real, private PulseAudio server: connection, device
// listings, endpoint volume and the refusals of the stream operations.
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <string>
#include <thread>
#include <vector>

#include "audio/audio_services.h"
#include "audio/pulse/pulse_services.h"
#include "tests/audio/pulse/pulse_test_server.h"

namespace quorvel {

namespace {

// One step of the server's volume scale, as a scalar.
constexpr float kVolumeStep = 1.0f / 65536.0f;

// The raw volume of the first channel of `sink` as pactl reports it ("front-left: 32768 / ..."),
// or -1.
double PactlSinkVolume(const CPulseTestServer& server, const std::string& sink) {
  const std::string text = server.Pactl("get-sink-volume " + sink);
  const size_t at = text.find("front-left:");
  if (at == std::string::npos) return -1.0;
  return std::strtod(text.c_str() + at + 11, nullptr);
}

// A scalar level in the server's raw volume units.
double RawVolume(double level) {
  return std::round(level * 65536.0);
}

struct NoticeCounts {
  std::atomic<int> opened{0};
  std::atomic<int> closed{0};
  std::atomic<int> done{0};
};

void CountNotice(void* context, OutputNotice notice) {
  auto* counts = static_cast<NoticeCounts*>(context);
  if (notice == OutputNotice::kOpened) ++counts->opened;
  if (notice == OutputNotice::kClosed) ++counts->closed;
  if (notice == OutputNotice::kBufferDone) ++counts->done;
}

class EnvironmentOverride {
 public:
  EnvironmentOverride(const char* key, const char* value) : m_key(key) {
    const char* previous = std::getenv(key);
    m_had = previous != nullptr;
    if (m_had) m_previous = previous;
    setenv(key, value, 1);
  }
  ~EnvironmentOverride() {
    if (m_had) {
      setenv(m_key.c_str(), m_previous.c_str(), 1);
    } else {
      unsetenv(m_key.c_str());
    }
  }

 private:
  std::string m_key;
  std::string m_previous;
  bool m_had = false;
};

}  // namespace

TEST(PulseConnection, NoServerGivesNullWithTheReason) {
  EnvironmentOverride server("PULSE_SERVER", "unix:/nonexistent/quorvel/pulse/native");
  const Result<std::unique_ptr<IAudioServices>> services = CreatePulseAudioServices();
  EXPECT_FALSE(services.Ok());
  EXPECT_NE(services.Message().find("no PulseAudio server answered"), std::string::npos)
      << services.Message();
}

using PulseAudioServicesTest = PulseServerTest;

TEST_F(PulseAudioServicesTest, TheFactoryConnectsToARunningServer) {
  Result<std::unique_ptr<IAudioServices>> services = CreatePulseAudioServices();
  ASSERT_TRUE(services.Ok()) << services.Message();
  std::vector<std::string> names;
  EXPECT_EQ((*services)->ListCaptureEndpoints(&names), 0);
  EXPECT_EQ(names.size(), 3u);
}

TEST_F(PulseAudioServicesTest, SourcesAreListedByDescriptionWithMonitorsLast) {
  // The server created the two sinks (and their monitors) before the microphone, yet the
  // microphone, the only real input, comes first.
  std::vector<std::string> names;
  ASSERT_EQ(m_services->ListCaptureEndpoints(&names), 0);
  const std::vector<std::string> expected = {
      CPulseTestServer::kMicrophoneDescription,
      std::string("Monitor of ") + CPulseTestServer::kNullSinkDescription,
      std::string("Monitor of ") + CPulseTestServer::kSecondSinkDescription};
  EXPECT_EQ(names, expected);

  // Each index opens the endpoint of the same name, which is read again from the server.
  for (size_t i = 0; i < expected.size(); ++i) {
    std::string name;
    ASSERT_EQ(m_services->OpenCaptureEndpoint(static_cast<int>(i), &name), 0) << i;
    EXPECT_EQ(name, expected[i]);
  }
  std::string name;
  EXPECT_EQ(m_services->OpenCaptureEndpoint(3, &name), kEInvalidArg);
  EXPECT_EQ(m_services->OpenCaptureEndpoint(-1, &name), kEInvalidArg);
}

TEST_F(PulseAudioServicesTest, ASourceGoneSinceTheListingCannotBeOpened) {
  std::vector<std::string> names;
  ASSERT_EQ(m_services->ListCaptureEndpoints(&names), 0);
  int status = -1;
  m_server.Pactl("unload-module module-null-source", &status);
  ASSERT_EQ(status, 0);
  std::string name;
  EXPECT_EQ(m_services->OpenCaptureEndpoint(0, &name), kAudclntEDeviceInvalidated);
  // A new listing no longer has it.
  ASSERT_EQ(m_services->ListCaptureEndpoints(&names), 0);
  EXPECT_EQ(names.size(), 2u);
}

TEST_F(PulseAudioServicesTest, TheMixFormatIsTheSourceFormat) {
  std::vector<std::string> names;
  ASSERT_EQ(m_services->ListCaptureEndpoints(&names), 0);
  CaptureFormat format;
  EXPECT_EQ(m_services->GetMixFormat(&format), kAudclntENotInitialized);
  std::string name;
  ASSERT_EQ(m_services->OpenCaptureEndpoint(1, &name), 0);
  ASSERT_EQ(m_services->GetMixFormat(&format), 0);
  // The null sink's monitor: 48000 Hz, two channels of 16-bit integers.
  EXPECT_EQ(format.formatTag, kFormatExtensible);
  EXPECT_EQ(format.subFormat, kFormatPcm);
  EXPECT_EQ(format.channels, 2);
  EXPECT_EQ(format.samplesPerSec, 48000u);
  EXPECT_EQ(format.bitsPerSample, 16);
  EXPECT_EQ(format.blockAlign, 4);
  EXPECT_EQ(format.avgBytesPerSec, 192000u);
  EXPECT_EQ(format.channelMask, 3u);
  int64_t period = 0;
  ASSERT_EQ(m_services->GetDevicePeriod(&period), 0);
  EXPECT_GT(period, 0);
}

TEST_F(PulseAudioServicesTest, CaptureStreamRefusals) {
  std::vector<std::string> names;
  ASSERT_EQ(m_services->ListCaptureEndpoints(&names), 0);
  // Nothing open yet.
  EXPECT_EQ(m_services->InitializeCapture(EngineCaptureFormat(), 1000000), kAudclntENotInitialized);
  uint32_t frames = 0;
  EXPECT_EQ(m_services->GetNextPacketSize(&frames), kAudclntENotInitialized);
  EXPECT_EQ(m_services->StartCaptureStream(), kAudclntENotInitialized);

  std::string name;
  ASSERT_EQ(m_services->OpenCaptureEndpoint(0, &name), 0);
  CaptureFormat sixteenBits = EngineCaptureFormat();
  sixteenBits.bitsPerSample = 16;
  sixteenBits.blockAlign = 4;
  EXPECT_EQ(m_services->InitializeCapture(sixteenBits, 1000000), kAudclntEUnsupportedFormat);
  CaptureFormat floats = EngineCaptureFormat();
  floats.formatTag = kFormatIeeeFloat;
  EXPECT_EQ(m_services->InitializeCapture(floats, 1000000), kAudclntEUnsupportedFormat);

  // The engine's own format, in its extensible form too, is taken once.
  CaptureFormat extensible = EngineCaptureFormat();
  extensible.formatTag = kFormatExtensible;
  extensible.subFormat = kFormatPcm;
  extensible.validBitsPerSample = 32;
  ASSERT_EQ(m_services->InitializeCapture(extensible, 1000000), 0);
  EXPECT_EQ(m_services->InitializeCapture(extensible, 1000000), kAudclntEAlreadyInitialized);
  // 100 ms at 48000 Hz.
  ASSERT_EQ(m_services->GetCaptureBufferSize(&frames), 0);
  EXPECT_EQ(frames, 4800u);
  // Before the start there is nothing to take, and nothing can be given back.
  const int32_t* data = nullptr;
  uint32_t count = 0;
  bool silent = false;
  EXPECT_EQ(m_services->GetNextPacketSize(&frames), 0);
  EXPECT_EQ(frames, 0u);
  EXPECT_EQ(m_services->GetPacket(&data, &count, &silent), kAudclntSBufferEmpty);
  EXPECT_EQ(count, 0u);
  EXPECT_EQ(m_services->ReleasePacket(10), kAudclntEInvalidSize);
  EXPECT_EQ(m_services->GetPacket(nullptr, &count, &silent), kEPointer);

  m_services->ReleaseCaptureEndpoint();
  EXPECT_EQ(m_services->GetNextPacketSize(&frames), kAudclntENotInitialized);
}

TEST_F(PulseAudioServicesTest, SinksAreOutputDevicesInServerOrder) {
  ASSERT_EQ(m_services->OutputDeviceCount(), 2);
  EXPECT_EQ(m_services->OutputProductName(0), CPulseTestServer::kNullSinkDescription);
  // The short name is the description cut to 31 characters.
  EXPECT_EQ(m_services->OutputProductName(1), "Quorvel Second Null Output With");
  EXPECT_EQ(m_services->OutputProductName(1).size(), 31u);
  EXPECT_EQ(m_services->OutputProductName(2), "");
  EXPECT_EQ(m_services->OutputProductName(-1), "");
  std::vector<std::string> descriptions;
  ASSERT_TRUE(m_services->ListOutputDescriptions(&descriptions));
  const std::vector<std::string> expected = {CPulseTestServer::kNullSinkDescription,
                                             CPulseTestServer::kSecondSinkDescription};
  EXPECT_EQ(descriptions, expected);
}

TEST_F(PulseAudioServicesTest, VolumeRoundTripsAsAScalarOfTheNormalVolume) {
  ASSERT_EQ(m_services->OutputDeviceCount(), 2);
  for (const float level : {0.0f, 0.25f, 0.5f, 0.8f, 1.0f}) {
    ASSERT_TRUE(m_services->SetOutputVolume(0, level)) << level;
    float read = -1.0f;
    ASSERT_TRUE(m_services->GetOutputVolume(0, &read)) << level;
    EXPECT_NEAR(read, level, kVolumeStep) << level;
    // The server itself holds the level, in parts of 65536 (its normal volume).
    EXPECT_NEAR(PactlSinkVolume(m_server, "quorvel_null"), RawVolume(level), 1) << level;
  }
}

TEST_F(PulseAudioServicesTest, VolumeActsOnTheChosenOrTheDefaultSink) {
  ASSERT_EQ(m_services->OutputDeviceCount(), 2);
  ASSERT_TRUE(m_services->SetOutputVolume(0, 0.7f));
  ASSERT_TRUE(m_services->SetOutputVolume(1, 0.3f));
  EXPECT_NEAR(PactlSinkVolume(m_server, "quorvel_null"), RawVolume(0.7), 1);
  EXPECT_NEAR(PactlSinkVolume(m_server, "quorvel_second"), RawVolume(0.3), 1);

  // -1 is the server's default sink, the first null sink here.
  ASSERT_TRUE(m_services->SetOutputVolume(-1, 0.4f));
  float read = -1.0f;
  ASSERT_TRUE(m_services->GetOutputVolume(0, &read));
  EXPECT_NEAR(read, 0.4f, kVolumeStep);
  ASSERT_TRUE(m_services->GetOutputVolume(-1, &read));
  EXPECT_NEAR(read, 0.4f, kVolumeStep);
  ASSERT_TRUE(m_services->GetOutputVolume(1, &read));
  EXPECT_NEAR(read, 0.3f, kVolumeStep);

  // The default follows the server.
  int status = -1;
  m_server.Pactl("set-default-sink quorvel_second", &status);
  ASSERT_EQ(status, 0);
  ASSERT_TRUE(m_services->SetOutputVolume(-1, 0.9f));
  EXPECT_NEAR(PactlSinkVolume(m_server, "quorvel_second"), RawVolume(0.9), 1);
  EXPECT_NEAR(PactlSinkVolume(m_server, "quorvel_null"), RawVolume(0.4), 1);
}

TEST_F(PulseAudioServicesTest, VolumeFailuresLeaveTheLevelUntouched) {
  ASSERT_EQ(m_services->OutputDeviceCount(), 2);
  ASSERT_TRUE(m_services->SetOutputVolume(0, 0.5f));
  float read = 0.123f;
  EXPECT_FALSE(m_services->GetOutputVolume(2, &read));
  EXPECT_FLOAT_EQ(read, 0.123f);
  EXPECT_FALSE(m_services->SetOutputVolume(2, 0.1f));
  EXPECT_FALSE(m_services->SetOutputVolume(0, std::numeric_limits<float>::quiet_NaN()));
  EXPECT_FALSE(m_services->GetOutputVolume(0, nullptr));
  ASSERT_TRUE(m_services->GetOutputVolume(0, &read));
  EXPECT_NEAR(read, 0.5f, kVolumeStep);
  // Out of range levels are held to 0..1.
  ASSERT_TRUE(m_services->SetOutputVolume(0, 1.5f));
  ASSERT_TRUE(m_services->GetOutputVolume(0, &read));
  EXPECT_NEAR(read, 1.0f, kVolumeStep);
  ASSERT_TRUE(m_services->SetOutputVolume(0, -0.5f));
  ASSERT_TRUE(m_services->GetOutputVolume(0, &read));
  EXPECT_NEAR(read, 0.0f, kVolumeStep);
}

TEST_F(PulseAudioServicesTest, OutputStreamRefusalsAndNotices) {
  ASSERT_EQ(m_services->OutputDeviceCount(), 2);
  NoticeCounts counts;
  PlayFormat eightBits = EnginePlayFormat();
  eightBits.bitsPerSample = 8;
  eightBits.blockAlign = 2;
  EXPECT_EQ(m_services->OpenOutput(0, eightBits, &CountNotice, &counts), kWaveErrBadFormat);
  EXPECT_EQ(m_services->OpenOutput(2, EnginePlayFormat(), &CountNotice, &counts),
            kMmErrBadDeviceId);
  EXPECT_EQ(counts.opened, 0);

  char data[512] = {};
  PlayHeader header;
  header.data = data;
  header.length = sizeof(data);
  EXPECT_EQ(m_services->PrepareHeader(&header), kMmErrInvalHandle);
  EXPECT_EQ(m_services->CloseOutput(), kMmErrInvalHandle);

  // The open notice has arrived when the open returns; the closed notice when the close does.
  ASSERT_EQ(m_services->OpenOutput(1, EnginePlayFormat(), &CountNotice, &counts), kMmNoError);
  EXPECT_EQ(counts.opened, 1);
  EXPECT_EQ(m_services->OpenOutput(0, EnginePlayFormat(), &CountNotice, &counts), kMmErrAllocated);
  EXPECT_EQ(m_services->QueueBuffer(&header), kWaveErrUnprepared);
  PlayHeader empty;
  EXPECT_EQ(m_services->PrepareHeader(&empty), kMmErrInvalParam);
  ASSERT_EQ(m_services->CloseOutput(), kMmNoError);
  EXPECT_EQ(counts.closed, 1);
  EXPECT_EQ(counts.done, 0);

  // The default output opens as well.
  ASSERT_EQ(m_services->OpenOutput(-1, EnginePlayFormat(), &CountNotice, &counts), kMmNoError);
  EXPECT_EQ(counts.opened, 2);
  ASSERT_EQ(m_services->CloseOutput(), kMmNoError);
  EXPECT_EQ(counts.closed, 2);
}

TEST_F(PulseAudioServicesTest, TheClockCountsMilliseconds) {
  const uint32_t first = m_services->MilliSeconds();
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  const uint32_t second = m_services->MilliSeconds();
  // A sleep lasts at least as long as asked; the clock never runs backwards.
  EXPECT_GE(second - first, 30u);
  EXPECT_LT(second - first, 60000u);
}

}  // namespace quorvel

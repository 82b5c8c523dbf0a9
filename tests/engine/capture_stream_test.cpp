// The capture stream: result texts, the sample conversion, the format asked of the stack, and
// the capture thread feeding the analysis (a scripted packet source and the simulated
// microphone), started and stopped without leaving a thread behind.
#include "engine/capture_stream.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <tuple>
#include <vector>

#include "audio/sim/simulated_services.h"
#include "engine/audio_engine.h"
#include "tests/audio/audio_test_support.h"
#include "tests/engine/device_test_support.h"
#include "tests/engine/engine_probe.h"
#include "tests/engine/scripted_services.h"

namespace quorvel {

namespace {

// ---- texts ----

TEST(CaptureErrorText, FormatsTheCodeAndItsName) {
  auto audio = std::make_unique<CAudio>();
  EXPECT_STREQ(audio->GetErrorText(static_cast<int32_t>(0x88890008u)),
               "0x88890008 : AUDCLNT_E_UNSUPPORTED_FORMAT\n");
  EXPECT_STREQ(audio->GetErrorText(static_cast<int32_t>(0x8889000Du)),
               "0x8889000D : UNKNOWN ERROR\n");
  EXPECT_STREQ(audio->GetErrorText(0), "0x0 : NO PB!\n");
  EXPECT_STREQ(audio->GetErrorText(static_cast<int32_t>(0x800401F0u)),
               "0x800401F0 : CO_E_NOTINITIALIZED: you must call CoInitialize() before "
               "Pa_OpenStream()\n");
  // The engine's own refusal has a name of its own, not "UNKNOWN ERROR".
  EXPECT_STREQ(audio->GetErrorText(kE_UNEXPECTED), "0x8000FFFF : E_UNEXPECTED\n");
  EXPECT_STREQ(audio->GetErrorText(static_cast<int32_t>(0x88890020u)),
               "0x88890020 : AUDCLNT_E_INVALID_DEVICE_PERIOD\n");
  for (uint32_t code = 0x8889001Au; code <= 0x8889001Fu; ++code) {
    EXPECT_STREQ(CaptureResultText(static_cast<int32_t>(code)), "UNKNOWN ERROR");
  }
  EXPECT_STREQ(CaptureResultText(static_cast<int32_t>(0x08890003u)), "AUDCLNT_S_POSITION_STALLED");
}

// ---- sample conversion ----

TEST(CaptureConversion, GainOf1Point33TimesTheInputGainClampedAndTruncated) {
  EXPECT_EQ(ConvertCaptureSample(1000000, 1.0), 1330000);
  EXPECT_EQ(ConvertCaptureSample(-1000000, 1.0), -1330000);
  EXPECT_EQ(ConvertCaptureSample(2000000000, 1.0), 2147483647);
  EXPECT_EQ(ConvertCaptureSample(-2147483647 - 1, 1.0), -2147483647);
  EXPECT_EQ(ConvertCaptureSample(1 << 30, std::pow(10.0, 12.0 / 20.0)), 2147483647);
  EXPECT_EQ(ConvertCaptureSample(0, 3.0), 0);
  // Truncation toward zero: 7 x 1.33 = 9.31, -7 x 1.33 = -9.31.
  EXPECT_EQ(ConvertCaptureSample(7, 1.0), 9);
  EXPECT_EQ(ConvertCaptureSample(-7, 1.0), -9);
  EXPECT_EQ(ConvertCaptureSample(1000, std::nan("")), 0);
}

// ---- the capture thread with scripted packets ----

struct ScriptedCapture : testing::Test {
  void SetUp() override {
    services.captureNames = {"Microphone"};
    int count = 0;
    ASSERT_EQ(audio->EnumerateInputDevices(&count), 0);
  }
  CScriptedServices services;
  std::unique_ptr<CAudio> audio = std::make_unique<CAudio>(&services);
};

TEST_F(ScriptedCapture, FramesReachTheAnalysisConvertedAndSilentPacketsAsZeros) {
  services.AddPacket({{1000000, -1000000, 2000000000, 0, -5, 5}, false});
  services.AddPacket({{123, 456, 789, 1011, 1213, 1415}, true});
  ASSERT_EQ(audio->OpenInputDevice(0), 0);
  ASSERT_EQ(audio->StartCapture(), 0);
  ASSERT_TRUE(WaitFor([&] { return services.PendingPackets() == 0; }, 5000));
  audio->StopCapture();
  EXPECT_EQ(audio->DeviceThreadCount(), 0);
  EXPECT_FALSE(audio->IsCaptureThreadRunning());
  EXPECT_EQ(CAudioProbe::Capturing(*audio).load(), 0);

  const int32_t left[] = {1330000, 2147483647, -6, 0, 0, 0};
  const int32_t right[] = {-1330000, 0, 6, 0, 0, 0};
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(CAudioProbe::RingLeft(*audio)[i], left[i]) << i;
    EXPECT_EQ(CAudioProbe::RingRight(*audio)[i], right[i]) << i;
  }
  EXPECT_EQ(audio->Counters().recordCount, 6);
}

TEST_F(ScriptedCapture, AFrameAtFullScaleMarksWhereItClipped) {
  // raw, gain, marks (1: after the gain, 2: as delivered); last two: a loopback's sweep peaks
  for (const auto& [raw, gain, marks] :
       std::vector<std::tuple<int32_t, double, int32_t>>{{2147483647, 0.25, 2},
                                                         {0x7FFF0000, 0.25, 2},
                                                         {-2147483647 - 1, 0.25, 2},
                                                         {0x7FFF0000, 1.0, 3},
                                                         {0x70000000, 1.0, 1},
                                                         {0x7FFE0000, 0.25, 0},
                                                         {-0x7FFF0000, 0.25, 0}}) {
    services.AddPacket({{0, raw}, false});
    audio->SetInputGain(gain);
    ASSERT_EQ(audio->OpenInputDevice(0), 0);
    ASSERT_EQ(audio->StartCapture(), 0);
    ASSERT_TRUE(WaitFor([&] { return services.PendingPackets() == 0; }, 5000));
    audio->StopCapture();
    EXPECT_EQ(CAudioProbe::BlockClipped(*audio), marks) << std::hex << raw << " " << gain;
    CAudioProbe::BlockClipped(*audio) = 0;
  }
}

TEST_F(ScriptedCapture, BufferDurationAndTheFormatAskedFor) {
  // A microphone of 44100 Hz float is asked for as 48000 Hz 32-bit PCM; the stack converts.
  services.mixFormat = CaptureFormat{kFormatIeeeFloat, 1, 44100, 176400, 4, 32, 0, 0, 0};
  ASSERT_EQ(audio->OpenInputDevice(0), 0);
  EXPECT_EQ(CAudioProbe::CaptureStreamFormat(*audio).formatTag, kFormatPcm);
  EXPECT_EQ(CAudioProbe::CaptureStreamFormat(*audio).channels, 2);
  EXPECT_EQ(CAudioProbe::CaptureStreamFormat(*audio).samplesPerSec, 48000u);
  EXPECT_EQ(CAudioProbe::CaptureStreamFormat(*audio).bitsPerSample, 32);
  EXPECT_EQ(CAudioProbe::CaptureStreamFormat(*audio).blockAlign, 8);
  EXPECT_EQ(CAudioProbe::CaptureStreamFormat(*audio).avgBytesPerSec, 384000u);
  EXPECT_EQ(CAudioProbe::SampleRate(*audio), 48000);
  ASSERT_EQ(audio->StartCapture(), 0);
  EXPECT_EQ(CAudioProbe::BufferFrames(*audio), 4800u);
  EXPECT_EQ(CAudioProbe::BufferDuration(*audio), 100000);
  audio->ReleaseCapture();
  EXPECT_EQ(audio->DeviceThreadCount(), 0);

  // Extensible float becomes extensible PCM with 32 valid bits.
  services.mixFormat =
      CaptureFormat{kFormatExtensible, 2, 48000, 384000, 8, 32, 24, 3, kFormatIeeeFloat};
  ASSERT_EQ(audio->OpenInputDevice(0), 0);
  EXPECT_EQ(CAudioProbe::CaptureStreamFormat(*audio).formatTag, kFormatExtensible);
  EXPECT_EQ(CAudioProbe::CaptureStreamFormat(*audio).subFormat, kFormatPcm);
  EXPECT_EQ(CAudioProbe::CaptureStreamFormat(*audio).validBitsPerSample, 32);
  EXPECT_EQ(CAudioProbe::CaptureStreamFormat(*audio).channelMask, 3u);
  // Any other sub-format is refused.
  services.mixFormat.subFormat = 0x55;
  EXPECT_EQ(audio->OpenInputDevice(0), kE_UNEXPECTED);
}

TEST_F(ScriptedCapture, AStreamWhoseFramesAreNotEightBytesEndsTheThreadAtOnce) {
  ASSERT_EQ(audio->OpenInputDevice(0), 0);
  CAudioProbe::CaptureStreamFormat(*audio).blockAlign = 4;
  EXPECT_EQ(audio->StartCapture(), kAudclntEUnsupportedFormat);
  EXPECT_FALSE(audio->IsCaptureThreadRunning());
  EXPECT_EQ(CAudioProbe::Capturing(*audio).load(), 0);
  audio->ReleaseCapture();
  EXPECT_EQ(audio->DeviceThreadCount(), 0);
}

TEST_F(ScriptedCapture, StartingWithoutAnOpenInputFails) {
  EXPECT_EQ(audio->StartCapture(), kAudclntENotInitialized);
  EXPECT_EQ(audio->DeviceThreadCount(), 0);
}

// ---- the simulated microphone ----

TEST(SimulatedCapture, RunsUntilStoppedAndEndsWithALostDevice) {
  SimulatedEngine engine;
  CSimulatedAudioServices& sim = engine.sim;
  auto& audio = engine.audio;
  ASSERT_NO_FATAL_FAILURE(StartCapturing(*audio));
  EXPECT_TRUE(sim.IsCaptureRunning());
  // The noise floor of the microphone keeps the record track growing.
  ASSERT_TRUE(WaitFor([&] { return audio->Counters().recordCount > 48000; }, 10000));
  audio->StopCapture();
  EXPECT_FALSE(sim.IsCaptureOpen());
  EXPECT_EQ(audio->DeviceThreadCount(), 0);

  ASSERT_EQ(audio->OpenInputDevice(0), 0);
  ASSERT_EQ(audio->StartCapture(), 0);
  sim.SetInputLost(true);
  ASSERT_TRUE(WaitFor([&] { return !audio->IsCaptureThreadRunning(); }, 5000));
  EXPECT_EQ(audio->Counters().captureResult, kAudclntEDeviceInvalidated);
  EXPECT_EQ(CAudioProbe::Capturing(*audio).load(), 0);
  audio->ReleaseCapture();
  EXPECT_FALSE(sim.IsCaptureOpen());
  EXPECT_EQ(audio->DeviceThreadCount(), 0);
}

TEST(SimulatedCapture, DestroyingTheEngineStopsARunningCapture) {
  SimulatedEngine engine;
  CSimulatedAudioServices& sim = engine.sim;
  ASSERT_NO_FATAL_FAILURE(StartCapturing(*engine.audio));
  engine.audio.reset();
  EXPECT_FALSE(sim.IsCaptureOpen());
  EXPECT_FALSE(sim.IsCaptureRunning());
}

}  // namespace

}  // namespace quorvel

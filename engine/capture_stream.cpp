// CAudio's capture stream: opening the chosen input through the audio services, the capture
// thread that converts every frame and hands it to the analysis, and the result-code texts.
#include "engine/capture_stream.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <system_error>

#include "audio/audio_services.h"
#include "audio/thread_priority.h"
#include "engine/audio_engine.h"
#include "engine/device_enumeration.h"

namespace quorvel {

namespace {

struct ResultText {
  uint32_t code;
  const char* text;
};

constexpr ResultText kResultTexts[] = {
    {0x00000000u, "NO PB!"},
    {0x08890001u, "AUDCLNT_S_BUFFER_EMPTY"},
    {0x08890002u, "AUDCLNT_S_THREAD_ALREADY_REGISTERED"},
    {0x08890003u, "AUDCLNT_S_POSITION_STALLED"},
    {0x80004003u, "E_POINTER"},
    {0x8000FFFFu, "E_UNEXPECTED"},
    {0x800401F0u, "CO_E_NOTINITIALIZED: you must call CoInitialize() before Pa_OpenStream()"},
    {0x80070057u, "E_INVALIDARG"},
    {0x88890001u, "AUDCLNT_E_NOT_INITIALIZED"},
    {0x88890002u, "AUDCLNT_E_ALREADY_INITIALIZED"},
    {0x88890003u, "AUDCLNT_E_WRONG_ENDPOINT_TYPE"},
    {0x88890004u, "AUDCLNT_E_DEVICE_INVALIDATED"},
    {0x88890005u, "AUDCLNT_E_NOT_STOPPED"},
    {0x88890006u, "AUDCLNT_E_BUFFER_TOO_LARGE"},
    {0x88890007u, "AUDCLNT_E_OUT_OF_ORDER"},
    {0x88890008u, "AUDCLNT_E_UNSUPPORTED_FORMAT"},
    {0x88890009u, "AUDCLNT_E_INVALID_SIZE"},
    {0x8889000Au, "AUDCLNT_E_DEVICE_IN_USE"},
    {0x8889000Bu, "AUDCLNT_E_BUFFER_OPERATION_PENDING"},
    {0x8889000Cu, "AUDCLNT_E_THREAD_NOT_REGISTERED"},
    {0x8889000Eu, "AUDCLNT_E_EXCLUSIVE_MODE_NOT_ALLOWED"},
    {0x8889000Fu, "AUDCLNT_E_ENDPOINT_CREATE_FAILED"},
    {0x88890010u, "AUDCLNT_E_SERVICE_NOT_RUNNING"},
    {0x88890011u, "AUDCLNT_E_EVENTHANDLE_NOT_EXPECTED"},
    {0x88890012u, "AUDCLNT_E_EXCLUSIVE_MODE_ONLY"},
    {0x88890013u, "AUDCLNT_E_BUFDURATION_PERIOD_NOT_EQUAL"},
    {0x88890014u, "AUDCLNT_E_EVENTHANDLE_NOT_SET"},
    {0x88890015u, "AUDCLNT_E_INCORRECT_BUFFER_SIZE"},
    {0x88890016u, "AUDCLNT_E_BUFFER_SIZE_ERROR"},
    {0x88890017u, "AUDCLNT_E_CPUUSAGE_EXCEEDED"},
    {0x88890018u, "AUDCLNT_E_BUFFER_ERROR"},
    {0x88890019u, "AUDCLNT_E_BUFFER_SIZE_NOT_ALIGNED"},
    {0x88890020u, "AUDCLNT_E_INVALID_DEVICE_PERIOD"},
};

constexpr uint32_t kSubFormatPcmValidBits = 32;
constexpr int kCaptureChannels = 2;
constexpr int kCaptureBits = 32;
constexpr int kCaptureBlockAlign = kCaptureChannels * kCaptureBits / 8;  // 8 bytes per frame

// The first wait looks at m_capturing at least this often [ms].
constexpr int kCaptureFlagPollMs = 10;

// Longest sleep of the capture loop between packets: the services wake it for every fragment
// they deliver (every 10 to 40 ms), so this only bounds how long a stop takes to be seen while
// no frames arrive [ms].
constexpr int kPacketWaitMs = 100;

void SleepMs(int ms) {
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

int32_t SystemErrorResult(int error) {
  if (error <= 0) return static_cast<int32_t>(static_cast<uint32_t>(error));
  return static_cast<int32_t>(0x80070000u | (static_cast<uint32_t>(error) & 0xFFFFu));
}

}  // namespace

const char* CaptureResultText(int32_t code) {
  const auto key = static_cast<uint32_t>(code);
  for (const ResultText& entry : kResultTexts) {
    if (entry.code == key) return entry.text;
  }
  return "UNKNOWN ERROR";
}

// Clears the run flag and waits for the capture thread: every 10 ms, at most 100 times, for it
// to mark itself ended, then joins it. The thread looks at m_capturing at least every
// kPacketWaitMs and never blocks, so it always ends by itself: it is joined, never killed.
void CAudio::EndCaptureThread() {
  if (m_hCaptureThread.load(std::memory_order_acquire) == 0 && !m_captureThread.joinable()) {
    return;
  }
  m_capturing.store(0, std::memory_order_release);
  SleepMs(10);
  for (int i = 0; i < 100 && m_hCaptureThread.load(std::memory_order_acquire) != 0; ++i) {
    SleepMs(10);
  }
  if (m_captureThread.joinable()) m_captureThread.join();
  m_hCaptureThread.store(0, std::memory_order_release);
}

// User-interface thread.
const char* CAudio::GetErrorText(int32_t code) {
  std::memset(m_errorText, 0, sizeof(m_errorText));
  std::snprintf(m_errorText, sizeof(m_errorText), "0x%X : %s\n", static_cast<unsigned>(code),
                CaptureResultText(code));
  return m_errorText;
}

// User-interface thread.
int32_t CAudio::OpenInputDevice(int index) {
  ReleaseCapture();
  if (m_services == nullptr || m_captureEndpointCount < 0) return kE_UNEXPECTED;
  // An index outside the listed endpoints (or the name table) is the engine's own refusal.
  if (index < 0 || index >= kMaxDevices || index >= m_captureEndpointCount) return kE_UNEXPECTED;

  std::string name;
  const int32_t opened = m_services->OpenCaptureEndpoint(index, &name);
  if (opened != 0) {
    m_services->ReleaseCaptureEndpoint();
    return opened;
  }
  m_captureOpen = 1;

  // The list has changed since the enumeration when the endpoint's name is no longer the one
  // listed (compared as stored: cut to the name slot, letters upper-cased).
  char current[kDeviceNameBytes];
  CopyDeviceName(current, name.c_str(), kMaxDeviceNameLength);
  if (name.empty() || !DeviceNamesEqual(current, m_inputNames[index])) {
    m_services->ReleaseCaptureEndpoint();
    m_captureOpen = 0;
    return kE_UNEXPECTED;
  }

  m_captureRate = m_sampleRate;
  CaptureFormat format;
  const int32_t mix = m_services->GetMixFormat(&format);
  if (mix != 0) return mix;

  // Ask for 32-bit PCM stereo at the capture rate; the audio stack converts from the device's
  // own format.
  const auto rate = static_cast<uint32_t>(m_captureRate);
  auto rewrite = [&format, rate]() {
    format.channels = kCaptureChannels;
    format.bitsPerSample = kCaptureBits;
    format.samplesPerSec = rate;
    format.blockAlign = kCaptureBlockAlign;
    format.avgBytesPerSec = rate * kCaptureBlockAlign;
  };
  if (format.formatTag == kFormatPcm || format.formatTag == kFormatIeeeFloat) {
    format.formatTag = kFormatPcm;
    rewrite();
  } else if (format.formatTag == kFormatExtensible) {
    if (format.subFormat != kFormatPcm && format.subFormat != kFormatIeeeFloat) {
      return kE_UNEXPECTED;
    }
    format.subFormat = kFormatPcm;
    format.validBitsPerSample = kSubFormatPcmValidBits;
    rewrite();
  }
  if (format.samplesPerSec != rate) return kE_UNEXPECTED;
  m_sampleRate = static_cast<int32_t>(format.samplesPerSec);
  m_captureFormat = format;

  int64_t period = 0;
  const int32_t periods = m_services->GetDevicePeriod(&period);
  if (periods != 0) return periods;

  const int32_t initialised = m_services->InitializeCapture(format, kCaptureBufferDuration100ns);
  if (initialised != 0) {
    GetErrorText(initialised);
    return initialised;
  }
  return kResultOk;
}

// User-interface thread, after OpenInputDevice succeeded.
int32_t CAudio::StartCapture() {
  if (m_services == nullptr || m_captureOpen == 0) {
    GetErrorText(kAudclntENotInitialized);
    return kAudclntENotInitialized;
  }
  uint32_t frames = 0;
  const int32_t sized = m_services->GetCaptureBufferSize(&frames);
  if (sized != 0) {
    GetErrorText(sized);
    return sized;
  }
  m_bufferFrames = frames;
  const uint64_t rate = m_captureFormat.samplesPerSec != 0 ? m_captureFormat.samplesPerSec : 48000;
  m_bufferDuration =
      static_cast<int64_t>(static_cast<uint64_t>(m_bufferFrames) * 1'000'000u / rate);

  const int32_t started = m_services->StartCaptureStream();
  if (started != 0) {
    GetErrorText(started);
    return started;
  }

  // A thread left over from an earlier start is ended first; the stream stays open for the
  // new one.
  EndCaptureThread();

  m_captureResult.store(0, std::memory_order_release);
  m_capturing.store(1, std::memory_order_release);
  m_hCaptureThread.store(1, std::memory_order_release);
  try {
    m_captureThread = std::thread([this]() { CaptureThreadProc(); });
  } catch (const std::system_error& error) {
    m_capturing.store(0, std::memory_order_release);
    m_hCaptureThread.store(0, std::memory_order_release);
    return SystemErrorResult(error.code().value());
  }

  SleepMs(100);
  return m_captureResult.load(std::memory_order_acquire);
}

// The capture thread; it looks at m_capturing at least every packet and every kPacketWaitMs,
// so it always ends by itself soon after StopCapture clears it.
int32_t CAudio::CaptureThreadProc() {
  RaiseCurrentThreadPriority(AudioThreadRole::kCapture);
  NameCurrentThread("quorvel-capture");

  // Reset the capture.
  ClearCaptureCounters();

  int32_t result = kResultOk;
  if (m_captureFormat.blockAlign != kCaptureBlockAlign) {
    result = kAudclntEUnsupportedFormat;
    m_captureResult.store(result, std::memory_order_release);
    m_capturing.store(0, std::memory_order_release);
    m_hCaptureThread.store(0, std::memory_order_release);
    return result;
  }

  // Let the stream fill for twice its buffer duration before the first look.
  int64_t waitMs = m_bufferDuration / 500;
  while (waitMs > 0 && m_capturing.load(std::memory_order_acquire) != 0) {
    const int slice = waitMs < kCaptureFlagPollMs ? static_cast<int>(waitMs) : kCaptureFlagPollMs;
    SleepMs(slice);
    waitMs -= slice;
    ServiceResetRequest();
  }

  IAudioServices& services = *m_services;
  while (m_capturing.load(std::memory_order_acquire) != 0) {
    ServiceResetRequest();
    uint32_t packetFrames = 0;
    result = services.GetNextPacketSize(&packetFrames);
    if (result != 0) break;
    bool left = false;
    while (packetFrames != 0) {
      const int32_t* data = nullptr;
      uint32_t count = 0;
      bool silent = false;
      result = services.GetPacket(&data, &count, &silent);
      if (result != 0) break;
      const double gain = m_inputGain.load(std::memory_order_relaxed);
      // Only the measured channel's full scale clips the curve.
      const auto channel =
          static_cast<InputChannel>(m_inputChannel.load(std::memory_order_relaxed));
      const bool leftCounts = CountsForClipping(channel, false);
      const bool rightCounts = CountsForClipping(channel, true);
      if (silent || data == nullptr) {
        for (uint32_t i = 0; i < count; ++i) PushFrame(0, 0);
      } else {
        for (uint32_t i = 0; i < count; ++i) {
          const int32_t leftSample = ConvertCaptureSample(data[2 * i], gain);
          const int32_t rightSample = ConvertCaptureSample(data[2 * i + 1], gain);
          // The marks belong to the block this frame completes or continues.
          if ((leftCounts && AtDeviceFullScale(data[2 * i])) ||
              (rightCounts && AtDeviceFullScale(data[2 * i + 1]))) {
            m_analysis.MarkClipped(CCaptureAnalysis::kClippedBeforeGain);
          }
          if ((leftCounts && AtFullScale(leftSample)) ||
              (rightCounts && AtFullScale(rightSample))) {
            m_analysis.MarkClipped(CCaptureAnalysis::kClippedAtGain);
          }
          PushFrame(leftSample, rightSample);
        }
      }
      if (m_capturing.load(std::memory_order_acquire) == 0) {
        left = true;  // stopped meanwhile: leave without giving the packet back
        break;
      }
      result = services.ReleasePacket(count);
      if (result != 0) break;
      ServiceResetRequest();
      result = services.GetNextPacketSize(&packetFrames);
      if (result != 0) break;
    }
    if (result != 0 || left) break;
    NoteCaptureLead();
    // The services post this when frames arrive; a bounded wait, so m_capturing is looked at
    // again within kPacketWaitMs.
    static_cast<void>(services.WaitCapturePacket(kPacketWaitMs));
  }

  // A reset handed over just before the end is still done, so ResetAnalysis never waits long.
  ServiceResetRequest();
  if (result != 0) m_captureResult.store(result, std::memory_order_release);
  m_capturing.store(0, std::memory_order_release);
  m_hCaptureThread.store(0, std::memory_order_release);
  return result;
}

// User-interface thread.
void CAudio::StopCapture() {
  m_capturing.store(0, std::memory_order_release);
  EndCaptureThread();

  if (m_services != nullptr && m_captureOpen != 0) {
    static_cast<void>(m_services->StopCaptureStream());
    m_services->ReleaseCaptureEndpoint();
  }
  m_captureOpen = 0;
}

}  // namespace quorvel

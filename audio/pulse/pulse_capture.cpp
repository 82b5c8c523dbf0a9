// Capture on PulseAudio: sources as capture endpoints, one record stream of 48000 Hz stereo
// signed 32-bit frames, and the packets that the capture thread takes from the frame ring.
#include <algorithm>
#include <chrono>
#include <cstring>

#include "audio/pulse/pulse_audio_services.h"

namespace quorvel {

namespace {

// A packet never holds more than this many frames, so a reader's own silent block of 64 KiB
// always covers one. [frames]
constexpr uint32_t kMaxPacketFrames = 4096;

// The server hands over captured frames in fragments of this length; short enough that the
// analysis follows the sweep closely, and that a monitor source keeps its sink's latency low
// (a sink that renders far ahead mixes a late stream in by a rewind, which its monitor misses).
// [ms]
constexpr uint32_t kFragmentMs = 10;

// The capture thread is woken once the ring holds this much, or at a loss: about 40 ms at
// 48000 Hz, four fragments. [frames]
constexpr uint32_t kCaptureWakeFrames = 2048;

// The device period reported to the engine. [100 ns]
constexpr int64_t kDevicePeriod100ns = 100000;

// The failure code of a record stream that could not be created or has ended.
int32_t StreamFailureCode(pa_context* context) {
  const int error = context != nullptr ? pa_context_errno(context) : PA_ERR_CONNECTIONTERMINATED;
  switch (error) {
    case PA_ERR_CONNECTIONREFUSED:
    case PA_ERR_CONNECTIONTERMINATED:
    case PA_ERR_KILLED:
    case PA_ERR_TIMEOUT:
      return kAudclntEServiceNotRunning;
    case PA_ERR_NOTSUPPORTED:
    case PA_ERR_INVALID:
      return kAudclntEUnsupportedFormat;
    case PA_ERR_BUSY:
      return kAudclntEDeviceInUse;
    default:
      return kAudclntEDeviceInvalidated;
  }
}

bool IsThirtyTwoBitStereoPcm(const CaptureFormat& format) {
  const bool pcm = format.formatTag == kFormatPcm ||
                   (format.formatTag == kFormatExtensible && format.subFormat == kFormatPcm);
  return pcm && format.channels == 2 && format.bitsPerSample == 32 && format.blockAlign == 8;
}

}  // namespace

int32_t CPulseAudioServices::CaptureLossCode() const {
  return m_bServerLost.load(std::memory_order_acquire) != 0 ? kAudclntEServiceNotRunning
                                                            : kAudclntEDeviceInvalidated;
}

// ---- capture endpoints (user-interface thread) ----

int32_t CPulseAudioServices::ListCaptureEndpoints(std::vector<std::string>* names) {
  if (names == nullptr) return kEPointer;
  names->clear();
  CMainloopLock lock(m_pMainloop);
  ReconnectIfLost();
  struct Listing {
    std::vector<DeviceEntry> real;
    std::vector<DeviceEntry> monitors;
  } listing;
  auto onSource = [](pa_context*, const pa_source_info* info, int eol, void* data) {
    if (eol != 0 || info == nullptr) return;
    auto* target = static_cast<Listing*>(data);
    DeviceEntry entry;
    entry.name = info->name != nullptr ? info->name : "";
    entry.description = (info->description != nullptr && info->description[0] != '\0')
                            ? info->description
                            : entry.name;
    // A monitor records what a sink plays; it is listed after the real inputs.
    if (info->monitor_of_sink != PA_INVALID_INDEX) {
      target->monitors.push_back(entry);
    } else {
      target->real.push_back(entry);
    }
  };
  if (!ContextReady() ||
      !WaitOperation(pa_context_get_source_info_list(m_pContext, onSource, &listing))) {
    return kAudclntEServiceNotRunning;
  }
  m_sources = listing.real;
  m_sources.insert(m_sources.end(), listing.monitors.begin(), listing.monitors.end());
  for (const DeviceEntry& entry : m_sources) names->push_back(entry.description);
  return 0;
}

int32_t CPulseAudioServices::OpenCaptureEndpoint(int index, std::string* name) {
  ReleaseCaptureEndpoint();
  if (index < 0 || static_cast<size_t>(index) >= m_sources.size()) return kEInvalidArg;
  CMainloopLock lock(m_pMainloop);
  struct Lookup {
    bool found = false;
    std::string description;
    pa_sample_spec spec{};
  } lookup;
  auto onSource = [](pa_context*, const pa_source_info* info, int eol, void* data) {
    if (eol != 0 || info == nullptr) return;
    auto* target = static_cast<Lookup*>(data);
    target->found = true;
    target->description = (info->description != nullptr && info->description[0] != '\0')
                              ? info->description
                              : info->name;
    target->spec = info->sample_spec;
  };
  const DeviceEntry& entry = m_sources[static_cast<size_t>(index)];
  if (!ContextReady()) return kAudclntEServiceNotRunning;
  if (!WaitOperation(
          pa_context_get_source_info_by_name(m_pContext, entry.name.c_str(), onSource, &lookup))) {
    // The source has gone since the listing (the lookup ends with "no such entity").
    return ContextReady() ? kAudclntEDeviceInvalidated : kAudclntEServiceNotRunning;
  }
  if (!lookup.found) return kAudclntEDeviceInvalidated;
  m_bEndpointOpen = true;
  m_openSourceName = entry.name;
  m_openSourceSpec = lookup.spec;
  if (name != nullptr) *name = lookup.description;
  return 0;
}

uint32_t CPulseAudioServices::CaptureEndpointRate(int index) {
  if (index < 0 || static_cast<size_t>(index) >= m_sources.size()) return 0;
  // Asked again: a server may switch a device's rate for the streams that open on it.
  CMainloopLock lock(m_pMainloop);
  const std::string& name = m_sources[static_cast<size_t>(index)].name;
  uint32_t rate = 0;
  auto onSource = [](pa_context*, const pa_source_info* info, int eol, void* data) {
    if (eol == 0 && info != nullptr) *static_cast<uint32_t*>(data) = info->sample_spec.rate;
  };
  if (!ContextReady() || !WaitOperation(pa_context_get_source_info_by_name(m_pContext, name.c_str(),
                                                                           onSource, &rate))) {
    return 0;
  }
  return rate;
}

void CPulseAudioServices::ReleaseCaptureEndpoint() {
  CMainloopLock lock(m_pMainloop);
  DestroyCaptureStream();
  m_bEndpointOpen = false;
  m_openSourceName.clear();
}

// Lock held.
void CPulseAudioServices::DestroyCaptureStream() {
  m_bCaptureReady.store(0, std::memory_order_release);
  if (m_pCaptureStream == nullptr) return;
  pa_stream_set_state_callback(m_pCaptureStream, nullptr, nullptr);
  pa_stream_set_read_callback(m_pCaptureStream, nullptr, nullptr);
  if (PA_STREAM_IS_GOOD(pa_stream_get_state(m_pCaptureStream))) {
    pa_stream_disconnect(m_pCaptureStream);
  }
  pa_stream_unref(m_pCaptureStream);
  m_pCaptureStream = nullptr;
}

// ---- capture stream (user-interface thread) ----

int32_t CPulseAudioServices::GetMixFormat(CaptureFormat* format) {
  if (format == nullptr) return kEPointer;
  if (!m_bEndpointOpen) return kAudclntENotInitialized;
  // The source's own format, described the way the engine expects a mix format: an extensible
  // record whose sub-format is PCM or float (the server converts from any other).
  const pa_sample_spec& spec = m_openSourceSpec;
  const bool isFloat = spec.format == PA_SAMPLE_FLOAT32LE || spec.format == PA_SAMPLE_FLOAT32BE;
  uint16_t bits = 16;
  uint16_t validBits = 16;
  switch (spec.format) {
    case PA_SAMPLE_U8:
    case PA_SAMPLE_ALAW:
    case PA_SAMPLE_ULAW:
      bits = validBits = 8;
      break;
    case PA_SAMPLE_S24LE:
    case PA_SAMPLE_S24BE:
      bits = validBits = 24;
      break;
    case PA_SAMPLE_S24_32LE:
    case PA_SAMPLE_S24_32BE:
      bits = 32;
      validBits = 24;
      break;
    case PA_SAMPLE_S32LE:
    case PA_SAMPLE_S32BE:
    case PA_SAMPLE_FLOAT32LE:
    case PA_SAMPLE_FLOAT32BE:
      bits = validBits = 32;
      break;
    default:
      break;
  }
  const uint16_t channels = spec.channels != 0 ? spec.channels : 2;
  *format = CaptureFormat{};
  format->formatTag = kFormatExtensible;
  format->channels = channels;
  format->samplesPerSec = spec.rate;
  format->blockAlign = static_cast<uint16_t>(channels * bits / 8);
  format->avgBytesPerSec = spec.rate * format->blockAlign;
  format->bitsPerSample = bits;
  format->validBitsPerSample = validBits;
  format->channelMask =
      channels == 1 ? 0x4u : (channels >= 32 ? 0xFFFFFFFFu : (1u << channels) - 1u);
  format->subFormat = isFloat ? kFormatIeeeFloat : kFormatPcm;
  return 0;
}

int32_t CPulseAudioServices::GetDevicePeriod(int64_t* period100ns) {
  if (period100ns == nullptr) return kEPointer;
  if (!m_bEndpointOpen) return kAudclntENotInitialized;
  *period100ns = kDevicePeriod100ns;
  return 0;
}

int32_t CPulseAudioServices::InitializeCapture(const CaptureFormat& format,
                                               int64_t bufferDuration100ns) {
  if (!m_bEndpointOpen) return kAudclntENotInitialized;
  if (m_pCaptureStream != nullptr) return kAudclntEAlreadyInitialized;
  pa_sample_spec spec{};
  spec.format = PA_SAMPLE_S32LE;
  spec.rate = format.samplesPerSec;
  spec.channels = 2;
  if (!IsThirtyTwoBitStereoPcm(format) || !pa_sample_spec_valid(&spec)) {
    return kAudclntEUnsupportedFormat;
  }

  // The buffer the engine asked for [frames], at least one fragment, and never more than half
  // of the ring, which holds the frames between two polls of the capture thread.
  const int64_t fragmentFrames = static_cast<int64_t>(spec.rate) * kFragmentMs / 1000;
  int64_t bufferFrames = bufferDuration100ns * static_cast<int64_t>(spec.rate) / 10000000;
  bufferFrames = std::clamp<int64_t>(bufferFrames, fragmentFrames,
                                     static_cast<int64_t>(m_captureRing.Capacity() / 2));

  CMainloopLock lock(m_pMainloop);
  if (!ContextReady()) return kAudclntEServiceNotRunning;
  m_captureRing.Clear();
  m_nPartialBytes = 0;
  m_nDroppedFrames.store(0, std::memory_order_relaxed);
  m_nHoleFrames.store(0, std::memory_order_relaxed);
  m_nUndeliveredFrames.store(0, std::memory_order_relaxed);
  m_deliveryClock.Restart(spec.rate);
  m_nPacketFrames.store(0, std::memory_order_relaxed);
  m_captureFailure.store(0, std::memory_order_relaxed);
  pa_channel_map map;
  pa_channel_map_init_stereo(&map);
  m_pCaptureStream = pa_stream_new(m_pContext, "Quorvel measurement input", &spec, &map);
  if (m_pCaptureStream == nullptr) return StreamFailureCode(m_pContext);
  pa_stream_set_state_callback(m_pCaptureStream, &OnCaptureState, this);
  pa_stream_set_read_callback(m_pCaptureStream, &OnCaptureRead, this);
  pa_buffer_attr attr;
  attr.maxlength = static_cast<uint32_t>(-1);
  attr.tlength = static_cast<uint32_t>(-1);
  attr.prebuf = static_cast<uint32_t>(-1);
  attr.minreq = static_cast<uint32_t>(-1);
  attr.fragsize = static_cast<uint32_t>(pa_usec_to_bytes(kFragmentMs * PA_USEC_PER_MSEC, &spec));
  // The stream starts corked (StartCaptureStream uncorks it) and stays on the chosen source:
  // if that source goes away, the stream ends instead of moving to another microphone.
  const auto flags = static_cast<pa_stream_flags_t>(PA_STREAM_ADJUST_LATENCY |
                                                    PA_STREAM_START_CORKED | PA_STREAM_DONT_MOVE);
  auto fail = [this](int32_t code) {
    DestroyCaptureStream();
    return code;
  };
  if (pa_stream_connect_record(m_pCaptureStream, m_openSourceName.c_str(), &attr, flags) < 0) {
    return fail(StreamFailureCode(m_pContext));
  }
  pa_stream* stream = m_pCaptureStream;
  if (!WaitLocked([stream] { return pa_stream_get_state(stream) != PA_STREAM_CREATING; }, 2000)) {
    return fail(kAudclntEServiceNotRunning);
  }
  if (pa_stream_get_state(stream) != PA_STREAM_READY) return fail(StreamFailureCode(m_pContext));
  m_nCaptureBufferFrames = static_cast<uint32_t>(bufferFrames);
  m_bCaptureReady.store(1, std::memory_order_release);
  return 0;
}

int32_t CPulseAudioServices::GetCaptureBufferSize(uint32_t* frames) {
  if (frames == nullptr) return kEPointer;
  if (m_pCaptureStream == nullptr) return kAudclntENotInitialized;
  *frames = m_nCaptureBufferFrames;
  return 0;
}

// Lock held: corks (stops) or uncorks (starts) the record stream and waits for the server.
int32_t CPulseAudioServices::CorkCapture(int cork) {
  if (m_pCaptureStream == nullptr) return kAudclntENotInitialized;
  const int32_t failure = m_captureFailure.load(std::memory_order_acquire);
  if (failure != 0) return failure;
  int success = 0;
  auto onDone = [](pa_stream*, int ok, void* flag) { *static_cast<int*>(flag) = ok; };
  if (!WaitOperation(pa_stream_cork(m_pCaptureStream, cork, onDone, &success)) || success == 0) {
    return CaptureLossCode();
  }
  // A stream that starts again is judged from its first delivery on, not from before the pause.
  m_deliveryClock.Restart(m_openSourceSpec.rate);
  return 0;
}

int32_t CPulseAudioServices::StartCaptureStream() {
  CMainloopLock lock(m_pMainloop);
  return CorkCapture(0);
}

int32_t CPulseAudioServices::StopCaptureStream() {
  CMainloopLock lock(m_pMainloop);
  return CorkCapture(1);
}

// ---- capture packets (capture thread; never lock, allocate or block) ----

int32_t CPulseAudioServices::GetNextPacketSize(uint32_t* frames) {
  if (frames == nullptr) return kEPointer;
  *frames = 0;
  const int32_t failure = m_captureFailure.load(std::memory_order_acquire);
  if (failure != 0) return failure;
  if (m_bCaptureReady.load(std::memory_order_acquire) == 0) return kAudclntENotInitialized;
  *frames = std::min(m_captureRing.ReadableContiguous(), kMaxPacketFrames);
  return 0;
}

int32_t CPulseAudioServices::GetPacket(const int32_t** frames, uint32_t* frameCount, bool* silent) {
  if (frames == nullptr || frameCount == nullptr || silent == nullptr) return kEPointer;
  *frames = nullptr;
  *frameCount = 0;
  *silent = false;
  const int32_t failure = m_captureFailure.load(std::memory_order_acquire);
  if (failure != 0) return failure;
  if (m_bCaptureReady.load(std::memory_order_acquire) == 0) return kAudclntENotInitialized;
  const uint32_t count = std::min(m_captureRing.ReadableContiguous(), kMaxPacketFrames);
  if (count == 0) return kAudclntSBufferEmpty;
  *frames = m_captureRing.ReadPointer();
  *frameCount = count;
  m_nPacketFrames.store(count, std::memory_order_relaxed);
  return 0;
}

// Capture thread: sleeps on the event the mainloop signals after it stores frames; no lock.
bool CPulseAudioServices::WaitCapturePacket(int timeoutMs) {
  if (m_captureFailure.load(std::memory_order_acquire) != 0 ||
      m_captureRing.ReadableFrames() != 0) {
    return true;
  }
  return m_captureEvent.Wait(std::chrono::milliseconds(timeoutMs));
}

// Any thread.
uint64_t CPulseAudioServices::CaptureFramesLost() {
  return m_nDroppedFrames.load(std::memory_order_acquire) +
         m_nHoleFrames.load(std::memory_order_acquire) +
         m_nUndeliveredFrames.load(std::memory_order_acquire);
}

int32_t CPulseAudioServices::ReleasePacket(uint32_t frameCount) {
  if (m_bCaptureReady.load(std::memory_order_acquire) == 0) return kAudclntENotInitialized;
  if (frameCount > m_nPacketFrames.load(std::memory_order_relaxed)) return kAudclntEInvalidSize;
  m_captureRing.Consume(frameCount);
  m_nPacketFrames.store(0, std::memory_order_relaxed);
  return 0;
}

// ---- pulse callbacks (mainloop thread; copy only) ----

void CPulseAudioServices::OnCaptureState(pa_stream* stream, void* self) {
  auto* services = static_cast<CPulseAudioServices*>(self);
  const pa_stream_state_t state = pa_stream_get_state(stream);
  if (state == PA_STREAM_FAILED || state == PA_STREAM_TERMINATED) {
    int32_t expected = 0;
    services->m_captureFailure.compare_exchange_strong(
        expected, services->m_bServerLost.load() != 0 ||
                          !PA_CONTEXT_IS_GOOD(pa_context_get_state(services->m_pContext))
                      ? kAudclntEServiceNotRunning
                      : kAudclntEDeviceInvalidated);
    services->m_captureEvent.Signal();  // the capture thread sees the loss at once
  }
  pa_threaded_mainloop_signal(services->m_pMainloop, 0);
}

void CPulseAudioServices::OnCaptureRead(pa_stream* stream, size_t, void* self) {
  auto* services = static_cast<CPulseAudioServices*>(self);
  size_t arrived = 0;  // [bytes]
  while (pa_stream_readable_size(stream) > 0) {
    const void* data = nullptr;
    size_t bytes = 0;
    if (pa_stream_peek(stream, &data, &bytes) < 0 || bytes == 0) break;
    arrived += bytes;
    // A hole in the recording (data null) is stored as silence, and counted as lost.
    if (data == nullptr) {
      services->m_nHoleFrames.fetch_add(bytes / CFrameRing::kFrameBytes, std::memory_order_acq_rel);
    }
    services->StoreCaptured(static_cast<const unsigned char*>(data), bytes);
    pa_stream_drop(stream);
  }
  // A server that stood still and went on where it stopped left out the frames of that time.
  const uint64_t undelivered =
      services->m_deliveryClock.Delivered(arrived / CFrameRing::kFrameBytes, pa_rtclock_now());
  if (undelivered != 0) {
    services->m_nUndeliveredFrames.fetch_add(undelivered, std::memory_order_acq_rel);
    services->m_captureEvent.Signal();
  }
  if (services->m_captureRing.ReadableFrames() >= kCaptureWakeFrames) {
    services->m_captureEvent.Signal();
  }
}

// Copies `count` bytes of whole or split frames into the ring (`bytes` null: silence).
void CPulseAudioServices::StoreCaptured(const unsigned char* bytes, size_t count) {
  constexpr size_t kFrameBytes = CFrameRing::kFrameBytes;
  size_t used = 0;
  if (m_nPartialBytes != 0) {
    const size_t take = std::min(kFrameBytes - m_nPartialBytes, count);
    if (bytes != nullptr) {
      std::memcpy(m_partialFrame + m_nPartialBytes, bytes, take);
    } else {
      std::memset(m_partialFrame + m_nPartialBytes, 0, take);
    }
    m_nPartialBytes += take;
    used = take;
    if (m_nPartialBytes < kFrameBytes) return;
    if (m_captureRing.Write(m_partialFrame, 1) == 0) m_nDroppedFrames.fetch_add(1);
    m_nPartialBytes = 0;
  }
  const auto frames = static_cast<uint32_t>((count - used) / kFrameBytes);
  const uint32_t stored = m_captureRing.Write(bytes != nullptr ? bytes + used : nullptr, frames);
  if (stored < frames) m_nDroppedFrames.fetch_add(frames - stored);
  used += static_cast<size_t>(frames) * kFrameBytes;
  m_nPartialBytes = count - used;
  if (m_nPartialBytes != 0) {
    if (bytes != nullptr) {
      std::memcpy(m_partialFrame, bytes + used, m_nPartialBytes);
    } else {
      std::memset(m_partialFrame, 0, m_nPartialBytes);
    }
  }
}

}  // namespace quorvel

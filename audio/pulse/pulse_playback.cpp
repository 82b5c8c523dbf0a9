// Output on PulseAudio: sinks as output devices, one playback stream of 16-bit stereo fed from
// the queue of buffers the play thread hands over, the buffer-done notices, and sink volume.
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "audio/output_buffer_flags.h"
#include "audio/pulse/pulse_audio_services.h"

namespace quorvel {

namespace {

// Longest short product name of an output device. [bytes]
constexpr size_t kProductNameBytes = 31;

// The server holds this much of the output ahead of the sink; the rest waits in the queue of
// buffers. Long enough that a busy machine, which may keep the server's or our own mainloop
// thread from running for a while, does not leave the sink without samples (with 200 ms a
// loaded machine made PulseAudio's null sink underflow in the middle of the sweep now and then),
// and shorter than the play thread's queue of buffers (128 of 128 frames, 341 ms): a stream that
// never fills its target makes the sink render ahead without it and mix it in afterwards by a
// rewind, which a monitor does not see, so the monitor records gaps. [ms]
constexpr uint32_t kOutputLatencyMs = 300;

// The server asks for samples in pieces of this length, and each request is answered with one
// write: a few wake-ups of the mainloop a second instead of one per buffer. [ms]
constexpr uint32_t kOutputRequestMs = 50;

// Playback starts (and restarts after running dry) as soon as the server holds this much, so a
// queue that the server only takes part of at first still starts at once. [ms]
constexpr uint32_t kOutputStartMs = 10;

// While an output is open the mainloop asks the server for the play position this often (and
// looks at the queue, in case a wake-up from the play thread crossed its last look): the stall
// watchdog judges a position that stands still for a second, and the servers report it in steps
// of up to a quarter of a second under load anyway. [us]
constexpr pa_usec_t kOutputTickUs = 250000;

// Most buffers one write hands over: every buffer the play thread's queue can hold.
constexpr uint32_t kMaxHeadersPerWrite = CHeaderQueue::kCapacity;

// Longest wait of close for its notices to be delivered. [ms]
constexpr int kNoticeWaitMs = 1000;

// `text` cut to at most `limit` bytes without splitting a UTF-8 character.
std::string CutUtf8(const std::string& text, size_t limit) {
  if (text.size() <= limit) return text;
  size_t end = limit;
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0u) == 0x80u) --end;
  return text.substr(0, end);
}

}  // namespace

// ---- output devices (user-interface thread) ----

int CPulseAudioServices::OutputDeviceCount() {
  CMainloopLock lock(m_pMainloop);
  ReconnectIfLost();
  if (!QuerySinks(&m_sinks)) m_sinks.clear();
  return static_cast<int>(m_sinks.size());
}

std::string CPulseAudioServices::OutputProductName(int id) {
  if (id < 0 || static_cast<size_t>(id) >= m_sinks.size()) return std::string();
  return CutUtf8(m_sinks[static_cast<size_t>(id)].description, kProductNameBytes);
}

bool CPulseAudioServices::ListOutputDescriptions(std::vector<std::string>* descriptions) {
  if (descriptions == nullptr) return false;
  descriptions->clear();
  if (m_sinks.empty()) OutputDeviceCount();
  if (m_bServerLost.load(std::memory_order_acquire) != 0) return false;
  // The descriptions of the last count, so that entry i stays device i.
  for (const DeviceEntry& sink : m_sinks) descriptions->push_back(sink.description);
  return true;
}

uint32_t CPulseAudioServices::OutputDeviceRate(int id) {
  // Asked again: a server may switch a device's rate for the streams that open on it.
  CMainloopLock lock(m_pMainloop);
  std::string name;
  if (!SinkNameFor(id, &name)) return 0;
  uint32_t rate = 0;
  auto onSink = [](pa_context*, const pa_sink_info* info, int eol, void* data) {
    if (eol == 0 && info != nullptr) *static_cast<uint32_t*>(data) = info->sample_spec.rate;
  };
  if (!WaitOperation(pa_context_get_sink_info_by_name(m_pContext, name.c_str(), onSink, &rate))) {
    return 0;
  }
  return rate;
}

// ---- output stream ----

int32_t CPulseAudioServices::OpenOutput(int deviceId, const PlayFormat& format,
                                        OutputNotifyRoutine routine, void* context) {
  const int channels = format.channels;
  if (format.formatTag != kFormatPcm || (channels != 1 && channels != 2) ||
      format.bitsPerSample != 16 || format.blockAlign != channels * 2) {
    return kWaveErrBadFormat;
  }
  pa_sample_spec spec{};
  spec.format = PA_SAMPLE_S16LE;
  spec.rate = format.samplesPerSec;
  spec.channels = static_cast<uint8_t>(channels);
  if (!pa_sample_spec_valid(&spec)) return kWaveErrBadFormat;

  CMainloopLock lock(m_pMainloop);
  std::string sinkName;
  if (!ContextReady()) return kMmErrNoDriver;
  if (m_pOutputStream != nullptr) return kMmErrAllocated;
  if (deviceId >= 0 && !SinkNameFor(deviceId, &sinkName)) {
    return ContextReady() ? kMmErrBadDeviceId : kMmErrNoDriver;
  }
  if (!WaitNoticesDelivered()) return kMmErrNoDriver;
  m_outputQueue.Clear();
  m_pCurrentHeader = nullptr;
  m_nCurrentOffset = 0;
  m_nFrameBytes = static_cast<size_t>(channels) * 2;
  m_pRoutine = routine;
  m_pRoutineContext = context;
  m_nOutputRate = spec.rate;
  m_nPlayedFrames.store(0, std::memory_order_relaxed);
  m_bPositionKnown.store(0, std::memory_order_relaxed);
  m_bOutputHungry.store(0, std::memory_order_relaxed);
  m_bTimingPending = false;
  m_bOutputLost.store(0, std::memory_order_relaxed);
  m_bClosedNoticeDue = false;  // until the opened notice has gone out
  // A stream that cannot be made or connected goes, and the routine with it.
  auto fail = [this](int32_t code) {
    m_bClosedNoticeDue = false;
    DestroyOutputStream();
    m_pRoutine = nullptr;
    m_pRoutineContext = nullptr;
    return code;
  };
  pa_channel_map map;
  if (channels == 2) {
    pa_channel_map_init_stereo(&map);
  } else {
    pa_channel_map_init_mono(&map);
  }
  m_pOutputStream = pa_stream_new(m_pContext, "Quorvel measurement signal", &spec, &map);
  if (m_pOutputStream == nullptr) return fail(kMmErrNoDriver);
  pa_stream_set_state_callback(m_pOutputStream, &OnOutputState, this);
  pa_stream_set_write_callback(m_pOutputStream, &OnOutputWrite, this);
  pa_stream_set_started_callback(m_pOutputStream, &OnOutputStarted, this);
  pa_stream_set_underflow_callback(m_pOutputStream, &OnOutputUnderflow, this);
  pa_buffer_attr attr;
  attr.maxlength = static_cast<uint32_t>(-1);
  attr.tlength =
      static_cast<uint32_t>(pa_usec_to_bytes(kOutputLatencyMs * PA_USEC_PER_MSEC, &spec));
  attr.prebuf = static_cast<uint32_t>(pa_usec_to_bytes(kOutputStartMs * PA_USEC_PER_MSEC, &spec));
  // The server's own request size for this target. A larger one (100 ms) let a null sink render
  // further ahead of a slow-starting stream, and its monitor then missed what was mixed in by a
  // rewind.
  attr.minreq = static_cast<uint32_t>(pa_usec_to_bytes(kOutputRequestMs * PA_USEC_PER_MSEC, &spec));
  attr.fragsize = static_cast<uint32_t>(-1);
  // A chosen device stays chosen; the default output follows the server's default.
  auto flags = static_cast<pa_stream_flags_t>(PA_STREAM_ADJUST_LATENCY);
  if (deviceId >= 0) flags = static_cast<pa_stream_flags_t>(flags | PA_STREAM_DONT_MOVE);
  if (pa_stream_connect_playback(m_pOutputStream, deviceId >= 0 ? sinkName.c_str() : nullptr, &attr,
                                 flags, nullptr, nullptr) < 0) {
    return fail(kMmErrNoDriver);
  }
  pa_stream* stream = m_pOutputStream;
  const bool settled =
      WaitLocked([stream] { return pa_stream_get_state(stream) != PA_STREAM_CREATING; }, 2000);
  if (!settled || pa_stream_get_state(stream) != PA_STREAM_READY) {
    return fail(pa_context_errno(m_pContext) == PA_ERR_NOENTITY ? kMmErrBadDeviceId
                                                                : kMmErrNoDriver);
  }
  m_bOutputOpen.store(1, std::memory_order_release);
  m_pOutputTick =
      pa_context_rttime_new(m_pContext, pa_rtclock_now() + kOutputTickUs, &OnOutputTick, this);
  return kMmNoError;
}

// Play thread; never locks, allocates or blocks.
int32_t CPulseAudioServices::PrepareHeader(PlayHeader* header) {
  if (header == nullptr || header->data == nullptr) return kMmErrInvalParam;
  if (m_bOutputOpen.load(std::memory_order_acquire) == 0) return kMmErrInvalHandle;
  if (m_bOutputLost.load(std::memory_order_acquire) != 0) return OutputLossCode();
  MarkBufferPrepared(*header);
  return kMmNoError;
}

// Play thread; never locks, allocates or blocks.
int32_t CPulseAudioServices::QueueBuffer(PlayHeader* header) {
  if (header == nullptr || header->data == nullptr) return kMmErrInvalParam;
  if (m_bOutputOpen.load(std::memory_order_acquire) == 0) return kMmErrInvalHandle;
  if (m_bOutputLost.load(std::memory_order_acquire) != 0) return OutputLossCode();
  const int32_t marked = MarkBufferQueued(*header);
  if (marked != kMmNoError) return marked;
  if (!m_outputQueue.Push(header)) {
    UnmarkBufferQueued(*header);
    return kMmErrNoMem;
  }
  // The mainloop found nothing to give the server: wake it for this buffer. (Both sides use the
  // queue's write index and the flag sequentially consistent, so one of them always sees the
  // other.)
  if (m_bOutputHungry.load(std::memory_order_seq_cst) != 0 &&
      m_bOutputHungry.exchange(0, std::memory_order_acq_rel) != 0) {
    const uint64_t one = 1;
    // A full counter already wakes the mainloop; nothing is lost when the write is refused.
    static_cast<void>(write(m_wakeFd, &one, sizeof(one)));
  }
  return kMmNoError;
}

int32_t CPulseAudioServices::ResetOutput() {
  CMainloopLock lock(m_pMainloop);
  if (m_pOutputStream == nullptr) return kMmErrInvalHandle;
  ReturnQueuedBuffers(false);
  if (!PA_STREAM_IS_GOOD(pa_stream_get_state(m_pOutputStream))) return kMmErrNoDriver;
  // What the server still holds is dropped; nothing waits for it.
  pa_operation* op = pa_stream_flush(m_pOutputStream, nullptr, nullptr);
  if (op != nullptr) pa_operation_unref(op);
  return kMmNoError;
}

// Any thread; never locks, allocates or blocks.
int32_t CPulseAudioServices::UnprepareHeader(PlayHeader* header) {
  if (header == nullptr) return kMmErrInvalParam;
  // A queued buffer of a live output is still playing; after a loss or a close no buffer is.
  return MarkBufferUnprepared(*header, m_bOutputOpen.load(std::memory_order_acquire) != 0 &&
                                           m_bOutputLost.load(std::memory_order_acquire) == 0);
}

int32_t CPulseAudioServices::CloseOutput() {
  CMainloopLock lock(m_pMainloop);
  if (m_pOutputStream == nullptr) return kMmErrInvalHandle;
  const int32_t result =
      m_bOutputLost.load(std::memory_order_acquire) != 0 ? OutputLossCode() : kMmNoError;
  ReturnQueuedBuffers(false);
  DestroyOutputStream();
  if (m_bClosedNoticeDue) {
    m_bClosedNoticeDue = false;
    m_bPendingClosed = true;
    PostNotices();
  }
  // The closed notice has reached the engine when close returns.
  WaitNoticesDelivered();
  return result;
}

// Any thread: the code of every refusal once the output is lost: the server has gone, or only
// the device.
int32_t CPulseAudioServices::OutputLossCode() const {
  return m_nOutputLossCode.load(std::memory_order_relaxed);
}

// Lock held: corks (pauses) or uncorks (restarts) the output and waits for the server.
int32_t CPulseAudioServices::CorkOutput(int cork) {
  if (m_pOutputStream == nullptr) return kMmErrInvalHandle;
  if (m_bOutputLost.load(std::memory_order_acquire) != 0) return OutputLossCode();
  int success = 0;
  auto onDone = [](pa_stream*, int ok, void* flag) { *static_cast<int*>(flag) = ok; };
  if (!WaitOperation(pa_stream_cork(m_pOutputStream, cork, onDone, &success)) || success == 0) {
    return kMmErrNoDriver;
  }
  // Samples queued while it was corked go out now.
  if (cork == 0) PumpOutput();
  return kMmNoError;
}

int32_t CPulseAudioServices::PauseOutput() {
  CMainloopLock lock(m_pMainloop);
  return CorkOutput(1);
}

int32_t CPulseAudioServices::RestartOutput() {
  CMainloopLock lock(m_pMainloop);
  return CorkOutput(0);
}

// Any thread; never locks or blocks.
bool CPulseAudioServices::GetOutputPosition(uint64_t* frames) {
  if (frames == nullptr || m_bOutputOpen.load(std::memory_order_acquire) == 0 ||
      m_bPositionKnown.load(std::memory_order_acquire) == 0) {
    return false;
  }
  *frames = m_nPlayedFrames.load(std::memory_order_acquire);
  return true;
}

// Lock held: takes every queued buffer (and the one being written) out of the queue, marks it
// done and counts its notice; `notifyNow` (mainloop thread only) sends the notices at once.
void CPulseAudioServices::ReturnQueuedBuffers(bool notifyNow) {
  uint32_t returned = 0;
  if (m_pCurrentHeader != nullptr) {
    MarkBufferDone(*m_pCurrentHeader);
    m_pCurrentHeader = nullptr;
    m_nCurrentOffset = 0;
    ++returned;
  }
  while (PlayHeader* header = m_outputQueue.Pop()) {
    MarkBufferDone(*header);
    ++returned;
  }
  if (notifyNow) {
    for (uint32_t i = 0; i < returned && m_pRoutine != nullptr; ++i) {
      m_pRoutine(m_pRoutineContext, OutputNotice::kBufferDone);
    }
  } else if (returned != 0) {
    m_nPendingDone += returned;
    PostNotices();
  }
}

// Lock held.
void CPulseAudioServices::DestroyOutputStream() {
  m_outputWatch.Stop();  // what it saw stays for the measurement's end
  m_bOutputOpen.store(0, std::memory_order_release);
  m_bPositionKnown.store(0, std::memory_order_release);
  m_bTimingPending = false;
  if (m_pOutputTick != nullptr) {
    m_pApi->time_free(m_pOutputTick);
    m_pOutputTick = nullptr;
  }
  if (m_pOutputStream == nullptr) return;
  pa_stream_set_state_callback(m_pOutputStream, nullptr, nullptr);
  pa_stream_set_write_callback(m_pOutputStream, nullptr, nullptr);
  pa_stream_set_started_callback(m_pOutputStream, nullptr, nullptr);
  pa_stream_set_underflow_callback(m_pOutputStream, nullptr, nullptr);
  if (PA_STREAM_IS_GOOD(pa_stream_get_state(m_pOutputStream))) {
    pa_stream_disconnect(m_pOutputStream);
  }
  pa_stream_unref(m_pOutputStream);
  m_pOutputStream = nullptr;
}

// ---- notices ----

// Lock held: the pending notices go out from the mainloop thread.
void CPulseAudioServices::PostNotices() {
  if (m_pNoticeEvent != nullptr) m_pApi->defer_enable(m_pNoticeEvent, 1);
}

// Lock held, never on the mainloop thread.
bool CPulseAudioServices::WaitNoticesDelivered() {
  // Notices are delivered even after the server has gone, so this wait does not end with the
  // connection.
  return WaitLocked([this] { return m_nPendingDone == 0 && !m_bPendingClosed; }, kNoticeWaitMs,
                    false);
}

// Mainloop thread.
void CPulseAudioServices::OnNotices(pa_mainloop_api* api, pa_defer_event* event, void* self) {
  auto* services = static_cast<CPulseAudioServices*>(self);
  api->defer_enable(event, 0);
  const uint32_t done = services->m_nPendingDone;
  const bool closed = services->m_bPendingClosed;
  services->m_nPendingDone = 0;
  services->m_bPendingClosed = false;
  if (services->m_pRoutine != nullptr) {
    for (uint32_t i = 0; i < done; ++i) {
      services->m_pRoutine(services->m_pRoutineContext, OutputNotice::kBufferDone);
    }
    if (closed) services->m_pRoutine(services->m_pRoutineContext, OutputNotice::kClosed);
  }
  pa_threaded_mainloop_signal(services->m_pMainloop, 0);
}

// ---- feeding the server (mainloop thread; copy only) ----

// Copies queued buffers into the stream, as much as the server takes now, in one write: the
// mainloop wakes once per request of the server, not once per buffer. Every buffer whose last byte
// has gone is marked done, and its notice sent, once the piece is written.
void CPulseAudioServices::PumpOutput() {
  if (m_pOutputStream == nullptr || pa_stream_get_state(m_pOutputStream) != PA_STREAM_READY) {
    return;
  }
  size_t writable = pa_stream_writable_size(m_pOutputStream);
  writable -= writable % m_nFrameBytes;
  while (writable > 0 && TakeQueuedHeader()) {
    const size_t room = std::min(writable, sizeof(m_writeStage));
    // Whole buffers (and the rest of a split one) side by side; libpulse copies them into
    // blocks of its own size, so a small piece never holds a large block of shared memory.
    size_t filled = 0;
    uint32_t finished = 0;
    PlayHeader* done[kMaxHeadersPerWrite];
    while (filled < room && finished < kMaxHeadersPerWrite && TakeQueuedHeader()) {
      PlayHeader* header = m_pCurrentHeader;
      const size_t piece = std::min<size_t>(header->length - m_nCurrentOffset, room - filled);
      std::memcpy(m_writeStage + filled, header->data + m_nCurrentOffset, piece);
      filled += piece;
      m_nCurrentOffset += static_cast<uint32_t>(piece);
      if (m_nCurrentOffset >= header->length) {
        done[finished++] = header;
        m_pCurrentHeader = nullptr;
        m_nCurrentOffset = 0;
      }
    }
    // A write refused (the stream is failing, and its loss returns every buffer) drops these.
    const bool written =
        pa_stream_write(m_pOutputStream, m_writeStage, filled, nullptr, 0, PA_SEEK_RELATIVE) >= 0;
    for (uint32_t i = 0; i < finished; ++i) FinishHeader(done[i]);
    if (!written) return;
    writable -= std::min(writable, filled);
  }
}

// The buffer being written, or the next queued one. False when none is queued: then the play
// thread's next buffer wakes the mainloop. The queue is looked at once more after the flag is
// up, so a buffer queued in between is not left waiting.
bool CPulseAudioServices::TakeQueuedHeader() {
  while (m_pCurrentHeader == nullptr || m_nCurrentOffset >= m_pCurrentHeader->length) {
    if (m_pCurrentHeader != nullptr) FinishHeader(m_pCurrentHeader);  // an empty buffer
    m_nCurrentOffset = 0;
    m_pCurrentHeader = m_outputQueue.Pop();
    if (m_pCurrentHeader != nullptr) continue;
    m_bOutputHungry.store(1, std::memory_order_seq_cst);
    m_pCurrentHeader = m_outputQueue.Pop();
    if (m_pCurrentHeader == nullptr) return false;
    m_bOutputHungry.store(0, std::memory_order_relaxed);
  }
  return true;
}

void CPulseAudioServices::FinishHeader(PlayHeader* header) {
  MarkBufferDone(*header);
  if (m_pRoutine != nullptr) m_pRoutine(m_pRoutineContext, OutputNotice::kBufferDone);
}

// The server or the sink has gone: every queued buffer comes back done, and the output
// announces that it is closed, so neither the play thread nor a close waits for it.
void CPulseAudioServices::HandleOutputLoss() {
  // The context's callback comes before its streams fail, so a lost server is known here.
  const bool serverLost = m_bServerLost.load(std::memory_order_acquire) != 0 ||
                          m_pContext == nullptr ||
                          !PA_CONTEXT_IS_GOOD(pa_context_get_state(m_pContext));
  m_nOutputLossCode.store(serverLost ? kMmErrNoDriver : kMmErrBadDeviceId,
                          std::memory_order_relaxed);
  m_bOutputLost.store(1, std::memory_order_release);
  ReturnQueuedBuffers(true);
  if (m_bClosedNoticeDue) {
    m_bClosedNoticeDue = false;
    if (m_pRoutine != nullptr) m_pRoutine(m_pRoutineContext, OutputNotice::kClosed);
  }
}

void CPulseAudioServices::OnOutputState(pa_stream* stream, void* self) {
  auto* services = static_cast<CPulseAudioServices*>(self);
  switch (pa_stream_get_state(stream)) {
    case PA_STREAM_READY:
      services->m_bClosedNoticeDue = true;
      if (services->m_pRoutine != nullptr) {
        services->m_pRoutine(services->m_pRoutineContext, OutputNotice::kOpened);
      }
      break;
    case PA_STREAM_FAILED:
    case PA_STREAM_TERMINATED:
      services->HandleOutputLoss();
      break;
    default:
      break;
  }
  pa_threaded_mainloop_signal(services->m_pMainloop, 0);
}

void CPulseAudioServices::OnOutputWrite(pa_stream*, size_t, void* self) {
  static_cast<CPulseAudioServices*>(self)->PumpOutput();
}

// Mainloop thread: a notice straight to the engine's routine (which never blocks).
void CPulseAudioServices::Notify(OutputNotice notice) {
  if (m_pRoutine != nullptr) m_pRoutine(m_pRoutineContext, notice);
}

// The server has begun to play the stream: at the first start, after a restart and after an
// underflow.
void CPulseAudioServices::OnOutputStarted(pa_stream*, void* self) {
  static_cast<CPulseAudioServices*>(self)->Notify(OutputNotice::kStarted);
}

// The server ran out of the stream's samples while playing it.
void CPulseAudioServices::OnOutputUnderflow(pa_stream*, void* self) {
  static_cast<CPulseAudioServices*>(self)->Notify(OutputNotice::kUnderflow);
}

void CPulseAudioServices::OnOutputTick(pa_mainloop_api*, pa_time_event* event,
                                       const struct timeval*, void* self) {
  auto* services = static_cast<CPulseAudioServices*>(self);
  services->PumpOutput();
  pa_stream* stream = services->m_pOutputStream;
  // One timing request at a time: a server that does not answer is not asked again and again.
  if (stream != nullptr && !services->m_bTimingPending &&
      pa_stream_get_state(stream) == PA_STREAM_READY) {
    pa_operation* op = pa_stream_update_timing_info(stream, &OnTimingInfo, services);
    if (op != nullptr) {
      services->m_bTimingPending = true;
      pa_operation_unref(op);
    }
  }
  pa_context_rttime_restart(services->m_pContext, event, pa_rtclock_now() + kOutputTickUs);
}

// The server's timing reply: the stream's time is what is heard now. Asked without
// interpolation, so it stands still when the server does not play.
void CPulseAudioServices::OnTimingInfo(pa_stream* stream, int success, void* self) {
  auto* services = static_cast<CPulseAudioServices*>(self);
  services->m_bTimingPending = false;
  pa_usec_t time = 0;
  if (success == 0 || pa_stream_get_time(stream, &time) < 0) return;
  const uint64_t frames = time * services->m_nOutputRate / PA_USEC_PER_SEC;
  services->m_nPlayedFrames.store(frames, std::memory_order_release);
  services->m_bPositionKnown.store(1, std::memory_order_release);
}

// The play thread has queued a buffer into an output that had run out.
void CPulseAudioServices::OnWake(pa_mainloop_api*, pa_io_event*, int fd, pa_io_event_flags_t,
                                 void* self) {
  uint64_t count = 0;
  static_cast<void>(read(fd, &count, sizeof(count)));
  static_cast<CPulseAudioServices*>(self)->PumpOutput();
}

// ---- endpoint volume (user-interface thread) ----

namespace {

struct SinkVolume {
  bool found = false;
  pa_cvolume volume{};
};

void OnSinkVolume(pa_context*, const pa_sink_info* info, int eol, void* data) {
  if (eol != 0 || info == nullptr) return;
  auto* target = static_cast<SinkVolume*>(data);
  target->found = true;
  target->volume = info->volume;
}

}  // namespace

bool CPulseAudioServices::SetOutputVolume(int deviceId, float level) {
  if (!std::isfinite(level)) return false;
  const float scalar = std::clamp(level, 0.0f, 1.0f);
  CMainloopLock lock(m_pMainloop);
  std::string sink;
  SinkVolume current;
  if (!ContextReady() || !SinkNameFor(deviceId, &sink) ||
      !WaitOperation(
          pa_context_get_sink_info_by_name(m_pContext, sink.c_str(), &OnSinkVolume, &current)) ||
      !current.found) {
    return false;
  }
  // The loudest channel becomes the level asked for; the balance between channels stays.
  const auto target = static_cast<pa_volume_t>(
      std::lround(static_cast<double>(scalar) * static_cast<double>(PA_VOLUME_NORM)));
  pa_cvolume volume = current.volume;
  pa_cvolume_scale(&volume, target);
  int success = 0;
  auto onDone = [](pa_context*, int done, void* flag) { *static_cast<int*>(flag) = done; };
  return WaitOperation(pa_context_set_sink_volume_by_name(m_pContext, sink.c_str(), &volume, onDone,
                                                          &success)) &&
         success != 0;
}

bool CPulseAudioServices::GetOutputVolume(int deviceId, float* level) {
  if (level == nullptr) return false;
  CMainloopLock lock(m_pMainloop);
  std::string sink;
  SinkVolume current;
  if (!ContextReady() || !SinkNameFor(deviceId, &sink) ||
      !WaitOperation(
          pa_context_get_sink_info_by_name(m_pContext, sink.c_str(), &OnSinkVolume, &current)) ||
      !current.found) {
    return false;
  }
  // The sink's loudest channel in parts of the normal volume; a boost above normal reads 1.
  const double scalar =
      static_cast<double>(pa_cvolume_max(&current.volume)) / static_cast<double>(PA_VOLUME_NORM);
  *level = static_cast<float>(std::min(scalar, 1.0));
  return true;
}

}  // namespace quorvel

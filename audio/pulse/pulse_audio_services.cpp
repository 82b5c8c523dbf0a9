// The connection to the PulseAudio server: the threaded mainloop, the context, bounded waits,
// and the sink lookups that the output and volume operations share.
#include "audio/pulse/pulse_audio_services.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <chrono>
#include <cstring>

#include "audio/pulse/pulse_services.h"
#include "audio/thread_priority.h"

namespace quorvel {

namespace {

// A request to the server that has not completed after this long counts as failed, so a
// server that stops answering never hangs the user interface.
constexpr int kOperationTimeoutMs = 2000;

// Ring of captured frames: 65536 frames, 1.37 s at 48000 Hz, far beyond the 100 ms buffer,
// so a capture thread that is late by a few scheduling periods loses nothing.
constexpr uint32_t kCaptureRingFrames = 65536;

// A listing after a lost connection waits this long for the server to answer again. [ms]
constexpr int kReconnectTimeoutMs = 1000;

struct TimeoutFlag {
  pa_threaded_mainloop* mainloop;
  bool expired;
};

}  // namespace

CPulseAudioServices::CPulseAudioServices() : m_captureRing(kCaptureRingFrames) {}

Result<std::unique_ptr<CPulseAudioServices>> CPulseAudioServices::Connect(int timeoutMs) {
  std::unique_ptr<CPulseAudioServices> services(new CPulseAudioServices());
  if (Result<void> started = services->Start(timeoutMs); !started) {
    return Failure{started.Message()};
  }
  return services;
}

Result<std::unique_ptr<IAudioServices>> CreatePulseAudioServices() {
  Result<std::unique_ptr<CPulseAudioServices>> services = CPulseAudioServices::Connect(1000);
  if (!services) return Failure{services.Message()};
  return std::unique_ptr<IAudioServices>(std::move(*services));
}

Result<void> CPulseAudioServices::Start(int timeoutMs) {
  m_pMainloop = pa_threaded_mainloop_new();
  if (m_pMainloop == nullptr) return Failure{"the PulseAudio main loop could not be created"};
  m_pApi = pa_threaded_mainloop_get_api(m_pMainloop);
  if (pa_threaded_mainloop_start(m_pMainloop) < 0) {
    return Failure{"the PulseAudio main loop thread could not be started"};
  }
  // The play thread's wake-up for an output that ran out: an event counter the mainloop
  // watches, written without blocking.
  m_wakeFd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  if (m_wakeFd < 0) return Failure{"the PulseAudio main loop's wake-up could not be created"};
  CMainloopLock lock(m_pMainloop);
  pa_mainloop_api_once(m_pApi, &OnMainloopStarted, this);
  m_pWakeEvent = m_pApi->io_new(m_pApi, m_wakeFd, PA_IO_EVENT_INPUT, &OnWake, this);
  if (Result<void> connected = ConnectContext(timeoutMs); !connected) return connected;
  m_pNoticeEvent = m_pApi->defer_new(m_pApi, &OnNotices, this);
  m_pApi->defer_enable(m_pNoticeEvent, 0);
  return {};
}

// Mainloop thread, once at its start: it moves every sample between the server and the
// engine's capture and play threads, so it runs with them.
void CPulseAudioServices::OnMainloopStarted(pa_mainloop_api*, void*) {
  RaiseCurrentThreadPriority(AudioThreadRole::kServices);
}

// Lock held: a new context, connected within `timeoutMs`; the reason when not.
Result<void> CPulseAudioServices::ConnectContext(int timeoutMs) {
  DropContext();
  pa_proplist* properties = pa_proplist_new();
  pa_proplist_sets(properties, PA_PROP_APPLICATION_NAME, "Quorvel");
  pa_proplist_sets(properties, PA_PROP_APPLICATION_ID, "org.velkar.Quorvel");
  m_pContext = pa_context_new_with_proplist(m_pApi, "Quorvel", properties);
  pa_proplist_free(properties);
  if (m_pContext == nullptr) return Failure{"the PulseAudio context could not be created"};
  pa_context_set_state_callback(m_pContext, &OnContextState, this);
  // Never autospawn: a server that is not running stays not running, and the caller falls
  // back to the simulated devices.
  bool ready = false;
  if (pa_context_connect(m_pContext, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) >= 0) {
    ready = WaitLocked([this] { return ContextReady(); }, timeoutMs);
  }
  if (!ready) {
    const int error = pa_context_errno(m_pContext);
    std::string whyNot = "no PulseAudio server answered";
    if (error != PA_OK) whyNot += std::string(": ") + pa_strerror(error);
    return Failure{std::move(whyNot)};
  }
  m_bServerLost.store(0, std::memory_order_release);
  return {};
}

// Lock held.
void CPulseAudioServices::DropContext() {
  if (m_pContext == nullptr) return;
  m_outputWatch.Stop();
  pa_context_set_state_callback(m_pContext, nullptr, nullptr);
  pa_context_disconnect(m_pContext);
  pa_context_unref(m_pContext);
  m_pContext = nullptr;
}

// Lock held. After the server has gone (PulseAudio or PipeWire restarted), the next device
// listing connects again, once no stream of the old connection is left open.
void CPulseAudioServices::ReconnectIfLost() {
  if (m_bServerLost.load(std::memory_order_acquire) == 0 || m_pCaptureStream != nullptr ||
      m_pOutputStream != nullptr) {
    return;
  }
  // a server still gone leaves m_bServerLost set: the next listing tries again
  static_cast<void>(ConnectContext(kReconnectTimeoutMs));
}

CPulseAudioServices::~CPulseAudioServices() {
  if (m_pMainloop == nullptr) return;
  {
    CMainloopLock lock(m_pMainloop);
    DestroyCaptureStream();
    DestroyOutputStream();
    if (m_pNoticeEvent != nullptr) {
      m_pApi->defer_free(m_pNoticeEvent);
      m_pNoticeEvent = nullptr;
    }
    if (m_pWakeEvent != nullptr) {
      m_pApi->io_free(m_pWakeEvent);
      m_pWakeEvent = nullptr;
    }
    DropContext();
  }
  pa_threaded_mainloop_stop(m_pMainloop);
  pa_threaded_mainloop_free(m_pMainloop);
  if (m_wakeFd >= 0) close(m_wakeFd);
}

uint32_t CPulseAudioServices::MilliSeconds() {
  const auto now = std::chrono::steady_clock::now().time_since_epoch();
  return static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

// ---- bounded waits ----

bool CPulseAudioServices::ContextReady() const {
  return m_pContext != nullptr && pa_context_get_state(m_pContext) == PA_CONTEXT_READY;
}

bool CPulseAudioServices::WaitLocked(const std::function<bool()>& done, int timeoutMs,
                                     bool whileConnected) {
  TimeoutFlag flag{m_pMainloop, false};
  struct timeval deadline;
  pa_gettimeofday(&deadline);
  pa_timeval_add(&deadline, static_cast<pa_usec_t>(timeoutMs) * PA_USEC_PER_MSEC);
  pa_time_event* timer = m_pApi->time_new(m_pApi, &deadline, &OnTimeout, &flag);
  while (!done() && !flag.expired &&
         (!whileConnected ||
          (m_pContext != nullptr && PA_CONTEXT_IS_GOOD(pa_context_get_state(m_pContext))))) {
    pa_threaded_mainloop_wait(m_pMainloop);
  }
  if (timer != nullptr) m_pApi->time_free(timer);
  return done();
}

bool CPulseAudioServices::WaitOperation(pa_operation* op) {
  if (op == nullptr) return false;
  pa_operation_set_state_callback(op, &OnOperationState, this);
  const bool finished = WaitLocked([op] { return pa_operation_get_state(op) == PA_OPERATION_DONE; },
                                   kOperationTimeoutMs);
  if (!finished) pa_operation_cancel(op);
  pa_operation_set_state_callback(op, nullptr, nullptr);
  pa_operation_unref(op);
  return finished;
}

// Mainloop thread.
void CPulseAudioServices::OnContextState(pa_context* context, void* self) {
  auto* services = static_cast<CPulseAudioServices*>(self);
  const pa_context_state_t state = pa_context_get_state(context);
  if (state == PA_CONTEXT_FAILED || state == PA_CONTEXT_TERMINATED) {
    services->m_bServerLost.store(1, std::memory_order_release);
    // The capture thread sees the loss at its next poll.
    if (services->m_pCaptureStream != nullptr) {
      int32_t expected = 0;
      services->m_captureFailure.compare_exchange_strong(expected, kAudclntEServiceNotRunning);
    }
    if (services->m_pOutputStream != nullptr) services->HandleOutputLoss();
  }
  pa_threaded_mainloop_signal(services->m_pMainloop, 0);
}

// Mainloop thread.
void CPulseAudioServices::OnOperationState(pa_operation*, void* self) {
  pa_threaded_mainloop_signal(static_cast<CPulseAudioServices*>(self)->m_pMainloop, 0);
}

// Mainloop thread.
void CPulseAudioServices::OnTimeout(pa_mainloop_api*, pa_time_event*, const struct timeval*,
                                    void* flag) {
  auto* timeout = static_cast<TimeoutFlag*>(flag);
  timeout->expired = true;
  pa_threaded_mainloop_signal(timeout->mainloop, 0);
}

// ---- sinks ----

bool CPulseAudioServices::QuerySinks(std::vector<DeviceEntry>* sinks) {
  if (!ContextReady()) return false;
  struct Listing {
    std::vector<DeviceEntry>* sinks;
  } listing{sinks};
  sinks->clear();
  auto onSink = [](pa_context*, const pa_sink_info* info, int eol, void* data) {
    if (eol != 0 || info == nullptr) return;
    auto* target = static_cast<Listing*>(data);
    DeviceEntry entry;
    entry.name = info->name != nullptr ? info->name : "";
    entry.description = (info->description != nullptr && info->description[0] != '\0')
                            ? info->description
                            : entry.name;
    target->sinks->push_back(entry);
  };
  return WaitOperation(pa_context_get_sink_info_list(m_pContext, onSink, &listing));
}

bool CPulseAudioServices::DefaultSinkName(std::string* name) {
  if (!ContextReady()) return false;
  auto onServer = [](pa_context*, const pa_server_info* info, void* data) {
    auto* target = static_cast<std::string*>(data);
    if (info != nullptr && info->default_sink_name != nullptr) *target = info->default_sink_name;
  };
  name->clear();
  return WaitOperation(pa_context_get_server_info(m_pContext, onServer, name)) && !name->empty();
}

uint32_t CPulseAudioServices::GraphRate() {
  CMainloopLock lock(m_pMainloop);
  if (!ContextReady()) return 0;
  // PipeWire's PulseAudio server names itself "PulseAudio (on PipeWire x.y.z)" and gives its
  // graph's default clock rate as the default sample rate; PulseAudio's default rate is only
  // what a new sink starts with, not a rate anything runs at.
  auto onServer = [](pa_context*, const pa_server_info* info, void* data) {
    if (info != nullptr && info->server_name != nullptr &&
        std::strstr(info->server_name, "PipeWire") != nullptr) {
      *static_cast<uint32_t*>(data) = info->sample_spec.rate;
    }
  };
  uint32_t rate = 0;
  if (!WaitOperation(pa_context_get_server_info(m_pContext, onServer, &rate))) return 0;
  return rate;
}

bool CPulseAudioServices::SinkNameFor(int deviceId, std::string* name) {
  if (deviceId < 0) return DefaultSinkName(name);
  if (m_sinks.empty() && !QuerySinks(&m_sinks)) return false;
  if (static_cast<size_t>(deviceId) >= m_sinks.size()) return false;
  *name = m_sinks[static_cast<size_t>(deviceId)].name;
  return true;
}

}  // namespace quorvel

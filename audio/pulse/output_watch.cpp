// Other programs on the output: the sink inputs that play to the measured sink beside our own
// stream, whose sound the microphone records with the sweep.
#include "audio/pulse/output_watch.h"

#include <algorithm>

#include "audio/pulse/pulse_audio_services.h"

namespace quorvel {

namespace {

// A stream's program: its application name, else the name of its binary (empty when the server
// gives neither).
std::string ProgramName(const pa_sink_input_info& info) {
  for (const char* key : {PA_PROP_APPLICATION_NAME, PA_PROP_APPLICATION_PROCESS_BINARY}) {
    const char* value = info.proplist != nullptr ? pa_proplist_gets(info.proplist, key) : nullptr;
    if (value != nullptr && value[0] != '\0') return value;
  }
  return std::string();
}

void Release(pa_operation* op) {
  if (op != nullptr) pa_operation_unref(op);
}

}  // namespace

void COutputWatch::Start(pa_context* context, uint32_t sinkIndex, uint32_t ownIndex) {
  Stop();
  m_names.clear();
  if (context == nullptr || pa_context_get_state(context) != PA_CONTEXT_READY ||
      sinkIndex == PA_INVALID_INDEX) {
    return;
  }
  m_pContext = context;
  m_nSink = sinkIndex;
  m_nOwn = ownIndex;
  // Events first, then the list: a stream that starts in between is seen either way.
  pa_context_set_subscribe_callback(context, &OnEvent, this);
  Release(pa_context_subscribe(context, PA_SUBSCRIPTION_MASK_SINK_INPUT, nullptr, nullptr));
  Release(pa_context_get_sink_input_info_list(context, &OnSinkInput, this));
}

void COutputWatch::Stop() {
  if (m_pContext == nullptr) return;
  pa_context_set_subscribe_callback(m_pContext, nullptr, nullptr);
  if (pa_context_get_state(m_pContext) == PA_CONTEXT_READY) {
    Release(pa_context_subscribe(m_pContext, PA_SUBSCRIPTION_MASK_NULL, nullptr, nullptr));
  }
  m_pContext = nullptr;
}

void COutputWatch::Query(uint32_t streamIndex) {
  if (m_pContext == nullptr || streamIndex == m_nOwn) return;
  Release(pa_context_get_sink_input_info(m_pContext, streamIndex, &OnSinkInput, this));
}

void COutputWatch::Note(const pa_sink_input_info& info) {
  if (m_pContext == nullptr || info.sink != m_nSink || info.index == m_nOwn || info.corked != 0 ||
      info.client == PA_INVALID_INDEX) {
    return;
  }
  const std::string name = ProgramName(info);
  if (std::find(m_names.begin(), m_names.end(), name) == m_names.end()) m_names.push_back(name);
}

// Mainloop thread: a stream that appeared or changed (it may have moved here or uncorked).
void COutputWatch::OnEvent(pa_context*, pa_subscription_event_type_t type, uint32_t index,
                           void* self) {
  const auto facility = type & PA_SUBSCRIPTION_EVENT_FACILITY_MASK;
  const auto kind = type & PA_SUBSCRIPTION_EVENT_TYPE_MASK;
  if (facility != PA_SUBSCRIPTION_EVENT_SINK_INPUT || kind == PA_SUBSCRIPTION_EVENT_REMOVE) return;
  static_cast<COutputWatch*>(self)->Query(index);
}

// Mainloop thread: one stream of a listing or a query (none at its end, or when it is gone).
void COutputWatch::OnSinkInput(pa_context*, const pa_sink_input_info* info, int eol, void* self) {
  if (eol != 0 || info == nullptr) return;
  static_cast<COutputWatch*>(self)->Note(*info);
}

// ---- the services' watch over their open output ----

void CPulseAudioServices::WatchOutputForOthers() {
  CMainloopLock lock(m_pMainloop);
  if (m_pOutputStream == nullptr || pa_stream_get_state(m_pOutputStream) != PA_STREAM_READY) {
    m_outputWatch.Start(nullptr, PA_INVALID_INDEX, PA_INVALID_INDEX);
    return;
  }
  m_outputWatch.Start(m_pContext, pa_stream_get_device_index(m_pOutputStream),
                      pa_stream_get_index(m_pOutputStream));
}

std::vector<std::string> CPulseAudioServices::OthersOnOutput() {
  CMainloopLock lock(m_pMainloop);
  return m_outputWatch.Names();
}

}  // namespace quorvel

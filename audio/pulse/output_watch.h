#pragma once

#include <pulse/pulseaudio.h>

#include <cstdint>
#include <string>
#include <vector>

namespace quorvel {

// Other programs' streams on one sink, found through the server's introspection and its
// sink-input events: a stream counts when it plays to the watched sink, is not our own, is not
// corked and belongs to a client (a filter sink's own pass-through stream belongs to its module
// and no client: it carries what others play to the filter, not a program of its own).
//
// Every member runs with the mainloop lock held: Start, Stop and Names on the user-interface
// thread, the callbacks on the mainloop thread.
class COutputWatch {
 public:
  COutputWatch() = default;
  COutputWatch(const COutputWatch&) = delete;
  COutputWatch& operator=(const COutputWatch&) = delete;

  // Watches sink `sinkIndex` for streams other than `ownIndex`, forgetting what an earlier
  // watch saw: the streams that play now, then every one that appears or changes.
  void Start(pa_context* context, uint32_t sinkIndex, uint32_t ownIndex);
  // Stops looking; what was seen stays until the next start.
  void Stop();
  // The programs seen playing, each named once, in the order seen.
  const std::vector<std::string>& Names() const { return m_names; }

 private:
  void Query(uint32_t streamIndex);
  void Note(const pa_sink_input_info& info);
  static void OnEvent(pa_context* context, pa_subscription_event_type_t type, uint32_t index,
                      void* self);
  static void OnSinkInput(pa_context* context, const pa_sink_input_info* info, int eol, void* self);

  pa_context* m_pContext = nullptr;  // null while not watching
  uint32_t m_nSink = PA_INVALID_INDEX;
  uint32_t m_nOwn = PA_INVALID_INDEX;
  std::vector<std::string> m_names;
};

}  // namespace quorvel

#include "control/quorvel_core.h"

#include <utility>

#include "audio/backend/audio_backend.h"

namespace quorvel {

CQuorvelCore::ChosenServices CQuorvelCore::Choose(AudioChoice choice) {
  ChosenServices chosen;
  if (choice == AudioChoice::kNone) {
    chosen.description = "no audio devices";
  } else {
    chosen.services = CreateAudioServices(choice == AudioChoice::kSimulated, &chosen.description);
  }
  return chosen;
}

CQuorvelCore::CQuorvelCore(AudioChoice choice, IPreferences& preferences, IUserMessages& messages)
    : CQuorvelCore(Choose(choice), preferences, messages) {}

CQuorvelCore::CQuorvelCore(std::unique_ptr<IAudioServices> services, IPreferences& preferences,
                           IUserMessages& messages)
    : CQuorvelCore(ChosenServices{std::move(services), "audio services of the caller"}, preferences,
                   messages) {}

CQuorvelCore::CQuorvelCore(ChosenServices chosen, IPreferences& preferences,
                           IUserMessages& messages)
    : m_services(std::move(chosen.services)),
      m_servicesDescription(std::move(chosen.description)),
      m_preferences(preferences),
      m_messages(messages),
      m_graph(m_shared),
      m_audio(std::make_unique<CAudio>(m_services.get(), &m_graph)),
      m_microList(m_shared, preferences, messages, m_graph),
      m_charts(m_microList),
      m_sequence(*m_audio, m_graph, m_shared, messages) {
  m_graph.SetRecordCounters(&m_audio->RecordCountForCurve(), &m_audio->CapturedCountForCurve());
  // The device lists, once, as the main window fills them at start-up.
  m_inputListResult = m_audio->EnumerateInputDevices(nullptr);
  static_cast<void>(m_audio->EnumerateOutputDevices());
}

CQuorvelCore::~CQuorvelCore() = default;

CaptureFileContext CQuorvelCore::FileContext() {
  return FileContext(&m_charts);
}

CaptureFileContext CQuorvelCore::FileContext(ICalibrationCharts* charts) {
  return CaptureFileContext{*m_audio, m_shared, m_wave, m_messages, m_preferences, charts};
}

}  // namespace quorvel

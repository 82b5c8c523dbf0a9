#include "control/quorvel_core.h"

#include <algorithm>
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
      m_sequence(*m_audio, m_graph, m_shared, messages) {
  // The device lists, once, as the main window fills them at start-up.
  m_inputListResult = m_audio->EnumerateInputDevices(nullptr);
  static_cast<void>(m_audio->EnumerateOutputDevices());
}

CQuorvelCore::~CQuorvelCore() = default;

std::vector<std::string> CQuorvelCore::InputNames() const {
  return m_inputListResult == kResultOk ? m_audio->InputNames() : std::vector<std::string>();
}

std::vector<std::string> CQuorvelCore::OutputNames() const {
  return m_audio->OutputNames();
}

CaptureFileContext CQuorvelCore::FileContext() {
  return CaptureFileContext{*m_audio,
                            m_shared,
                            m_wave,
                            m_messages,
                            m_preferences,
                            &m_microList,
                            m_sequence.FinishedRunMeasurement()};
}

}  // namespace quorvel

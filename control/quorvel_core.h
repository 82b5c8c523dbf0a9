#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "audio/audio_services.h"
#include "base/shared_state.h"
#include "calibration/micro_list_proc.h"
#include "control/captures/capture_files.h"
#include "control/run/measurement_sequence.h"
#include "control/workbench/workbench_session.h"
#include "engine/audio_engine.h"
#include "files/wave_file.h"
#include "graph/graphical.h"

namespace quorvel {

class IPreferences;
class IUserMessages;

// Which audio services a core runs on.
enum class AudioChoice {
  kNone,       // no devices: the analysis of files and the sweep file only
  kDefault,    // the PulseAudio server when one answers, else the simulated loudspeaker
  kSimulated,  // the simulated loudspeaker
};

// CQuorvelCore: the one object both front ends create. It owns the service objects in their
// construction order -- the audio services, the shared state, the curve store (CGraphical),
// the engine (CAudio), the WAV object (CWave), the calibration charts (CMicroListProc) and the
// measurement sequence -- wires the engine to the curve store, holds the front end's
// preferences and messages, and lists the devices once. They are destroyed in the reverse order:
// the sequence and the engine (whose threads feed the curve store) before the curve store, the
// engine before the services it uses. User-interface thread only.
class CQuorvelCore {
 public:
  // The services come from the backend chooser; ServicesDescription says which it took.
  CQuorvelCore(AudioChoice choice, IPreferences& preferences, IUserMessages& messages);
  // The services given (tests; null: no devices).
  CQuorvelCore(std::unique_ptr<IAudioServices> services, IPreferences& preferences,
               IUserMessages& messages);
  ~CQuorvelCore();
  CQuorvelCore(const CQuorvelCore&) = delete;
  CQuorvelCore& operator=(const CQuorvelCore&) = delete;

  CSharedState& Shared() { return m_shared; }
  CGraphical& Graph() { return m_graph; }
  CAudio& Audio() { return *m_audio; }
  CWave& Wave() { return m_wave; }
  CMeasurementSequence& Sequence() { return m_sequence; }
  IAudioServices* Services() { return m_services.get(); }
  IPreferences& Preferences() { return m_preferences; }
  IUserMessages& Messages() { return m_messages; }

  // Which services run and why ("PulseAudio server", "simulated loudspeaker (...)", or
  // "no audio devices").
  const std::string& ServicesDescription() const { return m_servicesDescription; }
  // The result of listing the input devices at construction (0: the list is in the engine).
  int32_t InputListResult() const { return m_inputListResult; }
  // The device lists as the engine holds them, in its order: the inputs (none when listing them
  // failed) and the outputs, the default output last.
  [[nodiscard]] std::vector<std::string> InputNames() const;
  [[nodiscard]] std::vector<std::string> OutputNames() const;

  // The calibration charts of the chart folder (the preference "CalibFiles"), the remembered
  // microphone and the capture-start step.
  CMicroListProc& MicroList() { return m_microList; }

  // What the capture-file commands work on, with the core's calibration charts.
  CaptureFileContext FileContext();

  // The workbench's session: every measurement and replay the window completes is kept in it.
  // Until StartWorkbench names the data folder it keeps nothing (quorvel-cli never does).
  CWorkbenchSession& Workbench() { return m_workbench; }
  // A new session in dataFolder/Sessions, named for startedUtcSeconds [s since 1970, UTC]; the
  // window calls it as it starts.
  void StartWorkbench(std::string dataFolder, int64_t startedUtcSeconds) {
    m_workbench = CWorkbenchSession(std::move(dataFolder), startedUtcSeconds);
  }

 private:
  struct ChosenServices {
    std::unique_ptr<IAudioServices> services;
    std::string description;
  };
  static ChosenServices Choose(AudioChoice choice);
  CQuorvelCore(ChosenServices chosen, IPreferences& preferences, IUserMessages& messages);

  std::unique_ptr<IAudioServices> m_services;  // first made, last gone
  std::string m_servicesDescription;
  IPreferences& m_preferences;
  IUserMessages& m_messages;
  CSharedState m_shared;
  CGraphical m_graph;
  std::unique_ptr<CAudio> m_audio;  // about 13.8 MB: always on the heap
  CWave m_wave;
  CMicroListProc m_microList;  // the chart lists live in m_shared, the chart curve in m_graph
  CMeasurementSequence m_sequence;
  CWorkbenchSession m_workbench{"", 0};
  int32_t m_inputListResult = kE_UNEXPECTED;
};

}  // namespace quorvel

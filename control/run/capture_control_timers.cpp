// The main window's two timers: the sliders (27 ms) and the level meter with the measurement's
// step (30 ms).
#include "base/preferences.h"
#include "base/shared_state.h"
#include "control/run/capture_control.h"
#include "control/run/measurement_request.h"
#include "control/run/measurement_sequence.h"
#include "control/window/slider_positions.h"
#include "engine/audio_engine.h"
#include "graph/graphical.h"

namespace quorvel {

void CCaptureControl::OnPollTimer() {
  PollInputGain();
  SyncVolumeFromDevice();
  PollOutputVolume();
}

void CCaptureControl::OnMeterTimer() {
  if (!m_audio.IsFilePlaying()) UpdateLevelMeter();
  TickMeasurement();
  // one repaint for every point that arrived since the last tick
  const uint32_t points = m_graph.m_pointsAdded.load(std::memory_order_acquire);
  if (points != m_pointsSeen) {
    m_pointsSeen = points;
    m_window.RequestGraphRepaint();
  }
}

bool CCaptureControl::TimersIdle() const {
  return m_meterAtRest && !m_sequence.IsRunning() && !m_replaying && !m_audio.IsOutputOpen() &&
         !m_audio.IsSweepPlaying() && !m_audio.IsFilePlaying() &&
         m_shared.m_bInputOpen.load(std::memory_order_acquire) == 0 &&
         m_shared.m_bMeterNeedsFrame.load(std::memory_order_acquire) == 0 &&
         m_graph.m_pointsAdded.load(std::memory_order_acquire) == m_pointsSeen;
}

void CCaptureControl::PollInputGain() {
  const int position = m_window.GainSliderPosition();
  if (position == m_lastGainPos) return;
  m_lastGainPos = position;
  m_preferences.WriteInt(kPrefAudioInGain, position);
  m_audio.SetInputGain(GainFactor(GainDbOfPosition(position)));
}

// A volume changed elsewhere in the system only moves the slider. While the samples are scaled
// in software the device's volume is not the slider's: the slider stays where the user put it.
void CCaptureControl::SyncVolumeFromDevice() {
  if (m_softwareVolume) return;
  float volume = -1.0f;
  if (m_audio.GetEndpointVolume(&volume) == 0 || volume < 0.0f) return;
  const int position = VolumePositionOfScalar(volume);
  if (position == m_lastVolumePos) return;
  m_window.SetVolumeSliderPosition(position);
  m_lastVolumePos = position;
}

void CCaptureControl::PollOutputVolume() {
  if (!m_audio.IsOutputOpen()) {
    m_outputWasOpen = false;
    return;
  }
  if (!m_outputWasOpen) {
    // An output has just opened. When its volume can be read it rules and the slider shows it;
    // when it cannot, the slider's position scales the samples.
    m_outputWasOpen = true;
    float volume = -1.0f;
    m_softwareVolume = m_audio.GetEndpointVolume(&volume) == 0 || volume < 0.0f;
    if (m_softwareVolume) {
      ApplySoftwareVolume();
    } else {
      m_audio.SetPlayVolume(kFullPlayVolume);
    }
  }
  const int position = m_window.VolumeSliderPosition();
  if (position == m_lastVolumePos) return;
  m_lastVolumePos = position;
  m_preferences.WriteInt(kPrefVolume, position);
  if (m_audio.SetEndpointVolume(static_cast<float>(position) / 24.0f) != 0) {
    m_softwareVolume = false;
    m_audio.SetPlayVolume(kFullPlayVolume);
  } else {
    // the endpoint volume cannot be set: the slider must still change the level
    m_softwareVolume = true;
    ApplySoftwareVolume();
  }
}

void CCaptureControl::ApplySoftwareVolume() {
  m_audio.SetPlayVolume(SoftwareVolumeScale(m_window.VolumeSliderPosition()));
}

void CCaptureControl::OnVolumeReleased() {
  if (m_audio.IsOutputOpen()) PollOutputVolume();
}

void CCaptureControl::UpdateLevelMeter() {
  if (m_shared.m_bMeterNeedsFrame.exchange(0, std::memory_order_acq_rel) != 0) {
    m_meter.RequestFrame();
  }
  // The capture thread raises the peaks and this halves them without a lock: a lost update
  // only changes one reading of the meter.
  const EngineCounters counters = m_audio.Counters();
  const bool inputOpen = m_shared.m_bInputOpen.load(std::memory_order_acquire) != 0;
  const bool sweepPlaying = m_audio.IsSweepPlaying();
  const CLevelMeter::Step step = m_meter.Update(counters.peakLeft, counters.peakRight, inputOpen,
                                                sweepPlaying, m_window.NowMs());
  // A closed meter draws the same grey slots at every step from the first on.
  m_meterAtRest = !inputOpen && !sweepPlaying;
  if (step.clearPeaks) {
    m_audio.ClearPeaks();
  } else if (step.halvePeaks) {
    m_audio.HalvePeaks();
  }
  if (step.changed) m_window.LevelMeterChanged();
}

}  // namespace quorvel

#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "control/captures/save_curve.h"
#include "eq/eq_fit.h"

#include "control/run/capture_view.h"
#include "control/run/input_channel_choice.h"
#include "control/run/measurement_request.h"
#include "control/window/level_meter.h"
#include "control/window/range_fields.h"

namespace quorvel {

class CAudio;
class CGraphical;
class CMeasurementSequence;
class Measurement;
enum class SequenceStatus;
class CQuorvelCore;
class IPreferences;
class IUserMessages;
struct CSharedState;

// What the main window shows beyond ICaptureView: the device lists, the two sliders, the
// smoothing button, the level meter and the whole window's repaint. The window implements it;
// every call comes on the user-interface thread and only changes or reads what the user sees.
class ICaptureWindow : public ICaptureView {
 public:
  // The lists' entries and the entry shown (-1: none).
  virtual void SetInputList(const std::vector<std::string>& names, int selection) = 0;
  virtual void SetOutputList(const std::vector<std::string>& names, int selection) = 0;
  // The entry the user has chosen; -1 when none (the output list is editable: a typed text that
  // names no entry is no choice).
  [[nodiscard]] virtual int InputSelection() const = 0;
  [[nodiscard]] virtual int OutputSelection() const = 0;
  // Slider positions, 0..24.
  [[nodiscard]] virtual int GainSliderPosition() const = 0;
  virtual void SetGainSliderPosition(int position) = 0;
  [[nodiscard]] virtual int VolumeSliderPosition() const = 0;
  virtual void SetVolumeSliderPosition(int position) = 0;
  // The input button: enabled or greyed out (while a loaded file replays: its play thread is
  // then the one thread that feeds the analysis).
  virtual void EnableInputButton(bool enabled) = 0;
  // The calibration button: greyed out while a measurement runs, whose curve takes the chart
  // chosen at its start, point by point, as its recording's analysis does.
  virtual void EnableCalibrationButton(bool enabled) = 0;
  // The smoothing button: on is checked on RGB(100, 150, 250), off unchecked on the neutral face.
  virtual void SetSmoothButton(bool on) = 0;
  // The level meter's slots changed (CCaptureControl::Meter()).
  virtual void LevelMeterChanged() = 0;
  // The whole window, the graph included, painted again at once.
  virtual void RepaintNow() = 0;
  // The window's millisecond clock (the meter's peak hold and redraw).
  [[nodiscard]] virtual uint32_t NowMs() const = 0;
};

// CCaptureControl: the main window's logic of measuring -- the start/stop and input buttons,
// the end of a curve, replays, the two window timers (the sliders every 27 ms; the level meter,
// the measurement's steps and the repaint of a growing curve every 30 ms), smoothing, the
// calibration button, the range fields and the Quit sequence. It drives the measurement
// sequence's steps (Start, Tick, Finish) and tells the window what to show.
//
// Every operation runs on the user-interface thread. The analysing thread reaches it only
// through the curve store's counters and the sequence's atomic flags, which the 30 ms timer
// reads: each new point asks for at most one repaint per tick, and the end of a curve is
// handled exactly once.
class CCaptureControl {
 public:
  CCaptureControl(CQuorvelCore& core, ICaptureWindow& window);
  ~CCaptureControl();
  CCaptureControl(const CCaptureControl&) = delete;
  CCaptureControl& operator=(const CCaptureControl&) = delete;

  // The dialog's set-up: the device lists and the devices chosen from the preferences, the
  // gain (its stored position clamped to 0..24) and volume sliders, the range fields, the idle
  // buttons, smoothing off, the empty meter.
  void Initialise();

  // ---- commands ----
  // Start a measurement (range read and stored, curve cleared, input opened when closed, sweep
  // started; the button turns red) or stop the running one (the curve so far stays).
  void OnCaptureButton();
  // Open the input (the meter restarts) or close it. Nothing while a file replays.
  void OnInputButton();
  // Smoothing on when a curve is shown and it is off; off otherwise.
  void OnSmoothButton();
  void ApplySmoothing(bool on);
  // Applied: calibration off. Not applied: the microphone selection, when the window has one
  // (SetMicrophoneSelection), decides; without one the button shows the not-applied state.
  void OnCalibrationButton();
  void SetCalibrationButton(bool on);
  // The microphone selection dialog: true when it ended with a chart applied.
  void SetMicrophoneSelection(std::function<bool()> select) {
    m_selectMicrophone = std::move(select);
  }
  // Save Audio File: the finished recording into a capture file the user chooses.
  void OnSaveAudioFile();
  // Load Audio File: a running measurement or replay ended first, then the chosen capture file
  // checked and loaded, the range fields set to its range, the calibration button to its
  // microphone, and its replay started (the start button greyed meanwhile).
  void OnLoadAudioFile();
  // Save Curve: the graph as shown, through the picture export the window hands in
  // (SetCurvePictureWriter).
  void OnSaveCurve();
  void SetCurvePictureWriter(CurvePictureWriter write) { m_writePicture = std::move(write); }
  // The graph draws the workbench's shown measurements behind its live curve: at the start of
  // every run, once a run is kept, and whenever the Measurements window changes what it shows.
  void ShowWorkbenchTraces();
  // Called once a completed measurement or replay has been kept in the workbench's session
  // (the Measurements window refreshes its list).
  void SetOnMeasurementKept(std::function<void()> kept) { m_onKept = std::move(kept); }
  // The replay of the samples Load Audio File put into the engine: the start button is greyed
  // until the samples have run out. False (after a message) when the playback cannot start.
  bool StartReplay();
  // Start a measurement as the start button does, its sweep played through `set`
  // (control/through_eq.h); the workbench keeps it named `name` ("NAME + EQ"). False when a
  // measurement or a replay runs already.
  bool StartThroughEq(const EqFilterSet& set, const std::string& name);
  // The range fields' arrows.
  void OnFminSpin(bool up) { m_range.OnFminSpin(up); }
  void OnFmaxSpin(bool up) { m_range.OnFmaxSpin(up); }
  // The sliders' release.
  void OnGainReleased() { PollInputGain(); }
  void OnVolumeReleased();
  // The Quit sequence after the window has stopped its timers: a running measurement or
  // replay is finished (input closed, playback stopped and waited for, the replay's samples
  // freed). Leaves no device thread running.
  void Quit();

  // The measurement the start button would make now: the devices chosen, the range fields'
  // range, the gain slider's gain (BuildMeasurementRequest's rules; false after its message).
  [[nodiscard]] bool CurrentRequest(MeasurementRequest* request);
  // Another window runs measurements on the core's sequence (a polar series): the meter timer
  // leaves its steps to it meanwhile.
  void SetRunElsewhere(bool elsewhere) { m_runElsewhere = elsewhere; }
  // The channel the next measurements take, and their timing reference (on the simulated
  // devices the reference's channel then carries the output looped back).
  void SetInputChannelChoice(const InputChannelChoice& choice);

  // ---- window timers ----
  // The sliders' timer (27 ms): PollInputGain, SyncVolumeFromDevice, PollOutputVolume.
  void OnPollTimer();
  // The level meter's timer (30 ms): the meter (not during a replay), the measurement's step,
  // its end, and one repaint when points arrived.
  void OnMeterTimer();
  // Nothing the timers show can move until the user acts: no input open, no run, no output,
  // the closed meter drawn and every point repainted. The window then lets its timers sleep
  // and wakes them at the user's next command.
  [[nodiscard]] bool TimersIdle() const;

  // ---- steps, for the timers and the tests ----
  void PollInputGain();
  void SyncVolumeFromDevice();
  void PollOutputVolume();
  void UpdateLevelMeter();

  // ---- state ----
  [[nodiscard]] bool Capturing() const;
  [[nodiscard]] bool Replaying() const { return m_replaying; }
  [[nodiscard]] bool SoftwareVolume() const { return m_softwareVolume; }
  [[nodiscard]] const CLevelMeter& Meter() const { return m_meter; }
  [[nodiscard]] CRangeFields& Range() { return m_range; }
  // The window's current measurement: the one the last run ended in while the graph still shows
  // its curve (a new run, a load or a reset of the curve by a wider range ends it); null when
  // there is none. Save Audio File saves it and Print prints it.
  [[nodiscard]] const Measurement* CurrentMeasurement() const;

 private:
  bool OpenInputPeripheral();
  void CloseInputPeripheral();
  void EndCapture();
  void SmoothingOff();
  void InputFailureShown();
  void TickMeasurement();
  void OnRunEnded(SequenceStatus status);
  // A run that ended with a new complete measurement: its capture into the workbench's session
  // (a replay by its file's path) before the window shows its end. A failure is said once and
  // the measurement stays in memory (the sequence's last measurement, Save Audio File).
  void KeepFinishedRun();
  void ShowWaitInCaption();
  // The buttons as the shared flags say, each told only when it changes.
  void SyncButtons();
  void ApplySoftwareVolume();

  bool m_runElsewhere = false;
  CQuorvelCore& m_core;
  CAudio& m_audio;
  CGraphical& m_graph;
  CSharedState& m_shared;
  CMeasurementSequence& m_sequence;
  IPreferences& m_preferences;
  IUserMessages& m_messages;
  ICaptureWindow& m_window;
  CRangeFields m_range;
  CLevelMeter m_meter;
  std::function<bool()> m_selectMicrophone;
  CurvePictureWriter m_writePicture;
  std::function<void()> m_onKept;
  std::string m_replayFile;  // the capture file Load Audio File replays; empty for none
  std::optional<std::chrono::system_clock::time_point> m_keptMadeAt;  // of the last run kept
  std::string m_liveEntryId;  // the list's entry of the curve the graph shows, once kept

  int m_lastGainPos = -1;
  int m_lastVolumePos = -1;
  bool m_softwareVolume = false;  // the endpoint volume could not be set: the samples are scaled
  bool m_outputWasOpen = false;
  bool m_replaying = false;
  std::optional<EqFilterSet> m_throughEq;   // of the measurement being started
  std::string m_throughEqName;              // its name in the workbench
  std::string m_runName;                    // the running measurement's, when it has one
  InputChannelChoice m_inputChannels;       // the window's channel choice
  bool m_inputClosedDuringCapture = false;  // the user closed the input of a running capture
  std::string m_waitShown;                  // the wait the graph caption names, empty for none
  std::string m_captionBeforeWait;          // the caption the wait replaced
  bool m_ticking = false;                   // re-entry guard: a message box runs its own loop
  uint32_t m_pointsSeen = 0;                // the curve store's point counter at the last repaint
  bool m_meterAtRest = false;               // the last meter step drew the closed meter
  // What the buttons show (-1: not yet told).
  int m_shownCapturing = -1;
  int m_shownInputOpen = -1;
  int m_shownCalibration = -1;
  int m_shownStartEnabled = -1;
  int m_shownInputEnabled = -1;
  int m_shownCalibrationEnabled = -1;
};

}  // namespace quorvel

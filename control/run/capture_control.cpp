// The main window's logic of measuring: set-up, the start/stop and input buttons, the end of a
// run, replays, smoothing, calibration and Quit. The timers' steps are in
// capture_control_timers.cpp.
#include "control/run/capture_control.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>

#include "audio/backend/audio_backend.h"
#include "base/messages.h"
#include "base/preferences.h"
#include "base/shared_state.h"
#include "base/user_messages.h"
#include "base/util.h"
#include "calibration/calibration_flag.h"
#include "control/captures/capture_files.h"
#include "control/quorvel_core.h"
#include "control/run/curve_completion.h"
#include "control/run/failure_words.h"
#include "control/run/measurement_request.h"
#include "control/run/measurement_sequence.h"
#include "control/window/slider_positions.h"
#include "control/workbench/main_graph_traces.h"
#include "control/workbench/workbench_session.h"
#include "engine/audio_engine.h"
#include "graph/graph_caption.h"
#include "graph/graphical.h"

namespace quorvel {

namespace {

void SleepMs(int ms) {
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

// The stop of the playback after Quit, at most [ms].
constexpr int kQuitPlaybackWaitMs = 3000;

}  // namespace

CCaptureControl::CCaptureControl(CQuorvelCore& core, ICaptureWindow& window)
    : m_core(core),
      m_audio(core.Audio()),
      m_graph(core.Graph()),
      m_shared(core.Shared()),
      m_sequence(core.Sequence()),
      m_preferences(core.Preferences()),
      m_messages(core.Messages()),
      m_window(window),
      m_range(m_shared, m_preferences, window, m_graph, m_messages) {}

CCaptureControl::~CCaptureControl() = default;

bool CCaptureControl::Capturing() const {
  return m_shared.m_bCapturing.load(std::memory_order_acquire) != 0;
}

void CCaptureControl::Initialise() {
  // The input and the output the preferences name, by the rulebook's name rules; a name that
  // names no entry takes the first.
  const std::vector<std::string> inputs = m_core.InputNames();
  const std::string inputName =
      m_preferences.ReadString(kPrefAudioInPeripheral, kDefaultAudioInPeripheral);
  const int input = FindDevice(inputs, inputName, NameRule::kInput);
  // an equal name keeps its stored spelling; a name found inside another takes the entry's
  std::string chosenInput = inputs.empty() ? std::string() : inputs[std::max(input, 0)];
  if (input >= 0 && CUtil::CompareNoCaseN(chosenInput.c_str(), inputName.c_str(), 520) == 0) {
    chosenInput = inputName;
  }
  m_audio.ChooseInput(0, chosenInput.c_str());
  m_window.SetInputList(inputs, inputs.empty() ? -1 : std::max(input, 0));

  m_lastGainPos =
      SliderPositionFromPreference(m_preferences.ReadInt(kPrefAudioInGain, kDefaultAudioInGain));
  m_window.SetGainSliderPosition(m_lastGainPos);
  m_audio.SetInputGain(GainFactor(GainDbOfPosition(m_lastGainPos)));

  const std::string outputName =
      m_preferences.ReadString(kPrefAudioOutPeripheral, kDefaultAudioOutPeripheral);
  m_audio.ChooseOutput(outputName.c_str());
  const std::vector<std::string> outputs = m_core.OutputNames();
  const int output = std::max(FindDevice(outputs, outputName, NameRule::kOutput), 0);
  m_window.SetOutputList(outputs, outputs.empty() ? -1 : output);

  // The volume slider shows the stored position; the device's own volume takes its place at
  // the first timer ticks.
  m_lastVolumePos =
      SliderPositionFromPreference(m_preferences.ReadInt(kPrefVolume, kDefaultVolume));
  m_window.SetVolumeSliderPosition(m_lastVolumePos);

  m_range.Initialise();

  m_graph.UpdateHasCurve();
  SmoothingOff();
  SyncButtons();
  m_window.RepaintNow();
  m_shared.m_bMeterNeedsFrame.store(1, std::memory_order_release);
}

// ---- buttons ----

void CCaptureControl::SyncButtons() {
  const int capturing = Capturing() ? 1 : 0;
  if (capturing != m_shownCapturing) {
    m_shownCapturing = capturing;
    m_window.SetStartButton(capturing != 0);
  }
  const int inputOpen = m_shared.m_bInputOpen.load(std::memory_order_acquire) != 0 ? 1 : 0;
  if (inputOpen != m_shownInputOpen) {
    m_shownInputOpen = inputOpen;
    m_window.SetInputButton(inputOpen != 0);
  }
  const int calibration =
      m_shared.m_bCalibrationApplied.load(std::memory_order_acquire) != 0 ? 1 : 0;
  if (calibration != m_shownCalibration) {
    m_shownCalibration = calibration;
    m_window.SetCalibrationButton(calibration != 0);
  }
  const int enabled = m_replaying ? 0 : 1;
  if (enabled != m_shownStartEnabled) {
    m_shownStartEnabled = enabled;
    m_window.EnableStartButton(enabled != 0);
  }
  if (enabled != m_shownInputEnabled) {
    m_shownInputEnabled = enabled;
    m_window.EnableInputButton(enabled != 0);
  }
  // a replay's curve, like a measurement's, keeps the chart it began with
  const int calibrationEnabled = capturing != 0 || m_replaying ? 0 : 1;
  if (calibrationEnabled != m_shownCalibrationEnabled) {
    m_shownCalibrationEnabled = calibrationEnabled;
    m_window.EnableCalibrationButton(calibrationEnabled != 0);
  }
}

void CCaptureControl::SmoothingOff() {
  m_shared.m_bSmoothing.store(0, std::memory_order_release);
  m_window.SetSmoothButton(false);
}

void CCaptureControl::ApplySmoothing(bool on) {
  if (on && m_graph.m_hasCurve.load(std::memory_order_relaxed) != 0) {
    m_window.SetSmoothButton(true);
    m_graph.Smooth();
    m_shared.m_bSmoothing.store(1, std::memory_order_release);
  } else {
    SmoothingOff();
  }
  m_window.RepaintNow();
}

void CCaptureControl::OnSmoothButton() {
  if (m_graph.UpdateHasCurve() == 0 || m_shared.m_bSmoothing.load(std::memory_order_acquire) != 0) {
    ApplySmoothing(false);
  } else {
    ApplySmoothing(true);
  }
}

void CCaptureControl::SetCalibrationButton(bool on) {
  SetCalibrationFlag(m_shared, on);
  SyncButtons();
}

void CCaptureControl::OnCalibrationButton() {
  if (Capturing() || m_replaying) return;  // the running curve keeps the chart it started with
  if (m_shared.m_bCalibrationApplied.load(std::memory_order_acquire) != 0) {
    SetCalibrationButton(false);  // a second press takes the calibration off, no dialog
    return;
  }
  SetCalibrationButton(m_selectMicrophone && m_selectMicrophone());
}

// ---- input ----

bool CCaptureControl::OpenInputPeripheral() {
  const bool opened = m_sequence.OpenInputPeripheral(m_window.InputSelection());
  if (opened) {
    m_preferences.WriteString(kPrefAudioInPeripheral, m_audio.ChosenInputName());
  } else {
    InputFailureShown();
  }
  SyncButtons();
  return opened;
}

// After a failed opening of the input (its message shown): calibration off, the meter at zero.
void CCaptureControl::InputFailureShown() {
  SetCalibrationFlag(m_shared, false);
  const bool cleared = m_meter.Draw(0, false, m_audio.IsSweepPlaying(), m_window.NowMs());
  if (cleared) m_audio.ClearPeaks();
  m_window.LevelMeterChanged();
}

void CCaptureControl::CloseInputPeripheral() {
  m_sequence.CloseInputPeripheral();
  SyncButtons();
}

void CCaptureControl::OnInputButton() {
  // A replay's play thread feeds the analysis; a capture thread beside it would feed the same
  // rings and record track at the same time.
  if (m_replaying) return;
  if (m_shared.m_bInputOpen.load(std::memory_order_acquire) != 0) {
    // During a capture the curve then stops growing; the capture runs on until Stop.
    if (Capturing()) m_inputClosedDuringCapture = true;
    CloseInputPeripheral();
    return;
  }
  m_meter.Init(m_window.NowMs());
  m_audio.ClearPeaks();
  m_window.LevelMeterChanged();
  static_cast<void>(OpenInputPeripheral());
}

// ---- capture ----

bool CCaptureControl::StartThroughEq(const EqFilterSet& set, const std::string& name) {
  if (Capturing() || m_replaying) return false;
  m_throughEq = set;
  m_throughEqName = name;
  OnCaptureButton();
  m_throughEq.reset();
  return Capturing();
}

void CCaptureControl::OnCaptureButton() {
  if (Capturing()) {
    EndCapture();  // the curve measured so far stays
    return;
  }
  if (m_replaying) return;  // the button is greyed while a file replays

  m_shared.m_curveFmin = m_range.ReadFminField();
  m_shared.m_curveFmax = m_range.ReadFmaxField();
  m_graph.ClearCurve();
  m_liveEntryId.clear();  // the curve last kept is now one of the traces behind the new one
  ShowWorkbenchTraces();
  m_shared.m_bCurveEndNotified.store(0, std::memory_order_release);
  // the selected or remembered chart for the coming range; it may ask whether to apply it
  m_core.MicroList().PrepareCalibration(m_shared.m_curveFmin, m_shared.m_curveFmax);
  SyncButtons();
  m_graph.UpdateHasCurve();
  SmoothingOff();
  m_window.RepaintNow();
  m_inputClosedDuringCapture = false;
  if (m_shared.m_bInputOpen.load(std::memory_order_acquire) == 0 && !OpenInputPeripheral()) {
    return;
  }

  // the sweep: the range read once more and stored
  const double fmax = m_range.ReadFmaxField();
  const double fmin = m_range.ReadFminField();
  m_preferences.WriteDouble(kPrefFmin, fmin);
  m_preferences.WriteDouble(kPrefFmax, fmax);
  MeasurementRequest request;
  bool started = false;
  if (CurrentRequest(&request)) {
    request.throughEq = m_throughEq;
    m_runName = m_throughEq ? m_throughEqName : std::string();
    m_pointsSeen = m_graph.m_pointsAdded.load(std::memory_order_acquire);
    started = m_sequence.Start(request);
  }
  if (started) m_preferences.WriteString(kPrefAudioOutPeripheral, m_audio.ChosenOutputName());
  // A device the server resamples is named in the caption until the curve ends (the waits
  // before the sweep show theirs meanwhile), and with the curve's warnings.
  const std::string& rates = m_sequence.RateWarning();
  if (started && !rates.empty()) {
    SetGraphCaption(m_shared, rates.substr(0, rates.find(". ")));
  }
  SyncButtons();
  m_window.RepaintNow();
}

void CCaptureControl::SetInputChannelChoice(const InputChannelChoice& choice) {
  m_inputChannels = choice;
  if (IAudioServices* services = m_core.Services()) {
    static_cast<void>(SetSimulatedLoopback(*services, static_cast<int>(ReferenceOf(choice))));
  }
}

bool CCaptureControl::CurrentRequest(MeasurementRequest* request) {
  request->inputIndex = m_audio.ChosenInput();
  request->outputIndex = m_window.OutputSelection();
  request->fmin = m_range.ReadFminField();
  request->fmax = m_range.ReadFmaxField();
  request->gainDb = GainDbOfPosition(m_lastGainPos);
  request->range = RangeRule::kSteps;
  request->timeoutMs = 0;  // the window waits for its user
  ApplyInputChannelChoice(m_inputChannels, request);
  if (const Result<void> built = BuildMeasurementRequest(m_core.InputNames(), m_core.OutputNames(),
                                                         nullptr, nullptr, request);
      !built) {
    m_messages.ShowMessage(built.Message());  // the range fields always hold a range of their steps
    return false;
  }
  return true;
}

void CCaptureControl::EndCapture() {
  if (m_sequence.IsRunning()) {
    static_cast<void>(m_sequence.Finish());  // EndCapture, then the playback stop waited for
    KeepFinishedRun();
  } else {
    m_sequence.EndCapture();
  }
  // The end wrote the capture's caption over any wait: the next run's wait is shown afresh.
  m_waitShown.clear();
  m_inputClosedDuringCapture = false;
  m_graph.UpdateHasCurve();
  SmoothingOff();
  SyncButtons();
  m_window.RepaintNow();
}

// ---- capture files and pictures ----

const Measurement* CCaptureControl::CurrentMeasurement() const {
  // A reset by a wider range empties the curve and leaves no range for its recording.
  if (m_sequence.IsRunning() || m_graph.m_count.load(std::memory_order_acquire) == 0) {
    return nullptr;
  }
  return m_sequence.FinishedRunMeasurement();
}

void CCaptureControl::OnSaveAudioFile() {
  static_cast<void>(SaveAudioFile(m_core.FileContext().Reading(), CurrentMeasurement()));
}

void CCaptureControl::OnLoadAudioFile() {
  // Whatever runs ends before the chooser opens: a capture as the Stop button ends it, a replay
  // with its playback stopped and its samples freed; then the calibration goes off.
  const auto endMeasurement = [this] {
    EndCapture();
    m_replaying = false;
    SetCalibrationButton(false);
  };
  LoadedCaptureFile loaded;
  if (!LoadAudioFile(m_core.FileContext(), endMeasurement, &loaded)) {
    SyncButtons();
    m_window.RepaintNow();
    return;
  }
  m_replayFile = loaded.path;
  SetCalibrationButton(loaded.calibrationApplied);
  ApplySmoothing(false);
  m_graph.ClearCurve();
  m_range.SetFminField(false, loaded.fmin);
  m_range.SetFmaxField(loaded.fmax, false);
  m_range.SetFminField(true, loaded.fmin);
  m_range.SetFmaxField(loaded.fmax, true);
  m_window.RepaintNow();
  static_cast<void>(StartReplay());
}

void CCaptureControl::OnSaveCurve() {
  static_cast<void>(
      SaveCurve(m_graph, m_preferences, m_messages, m_shared.m_szExeDir, m_writePicture));
  m_window.RepaintNow();
}

// ---- replay ----

bool CCaptureControl::StartReplay() {
  if (Capturing() || m_sequence.IsRunning()) return false;
  m_graph.ClearCurve();
  m_liveEntryId.clear();  // the curve last kept is now one of the traces behind the new one
  ShowWorkbenchTraces();
  m_window.RepaintNow();
  m_pointsSeen = m_graph.m_pointsAdded.load(std::memory_order_acquire);
  m_replaying = true;
  SyncButtons();
  if (!m_sequence.StartReplay(m_window.OutputSelection(), 0)) {
    m_replaying = false;
    SyncButtons();
    m_window.RepaintNow();
    return false;
  }
  m_preferences.WriteString(kPrefAudioOutPeripheral, m_audio.ChosenOutputName());
  SyncButtons();
  return true;
}

// ---- the end of a run ----

void CCaptureControl::TickMeasurement() {
  if (m_ticking || m_runElsewhere || !m_sequence.IsRunning()) return;
  // A capture whose input the user closed waits for Stop: its curve cannot grow any more.
  if (!m_replaying && m_inputClosedDuringCapture) return;
  m_ticking = true;  // a message box shown by the step runs this timer's loop again
  if (m_replaying) {
    if (m_sequence.ReplayEnded()) static_cast<void>(TakeWholeCurveAsComplete(m_audio, m_graph));
  }
  const SequenceStatus status = m_sequence.Tick();
  if (!m_replaying) ShowWaitInCaption();
  if (status != SequenceStatus::kRunning) {
    OnRunEnded(status);
  } else if (m_replaying) {
    SyncButtons();  // the replay's curve completed: calibration off, input closed
  }
  m_ticking = false;
}

// Before its sweep plays, a measurement waits for the input's floor and for the output to
// start: the graph's caption says which, and gets its own text back when the wait is over.
void CCaptureControl::ShowWaitInCaption() {
  const std::string wait = m_sequence.WaitingText();
  if (wait == m_waitShown) return;
  if (m_waitShown.empty()) m_captionBeforeWait = GraphCaption(m_shared);
  SetGraphCaption(m_shared, wait.empty() ? m_captionBeforeWait : wait);
  m_waitShown = wait;
  m_window.RepaintNow();
}

void CCaptureControl::OnRunEnded(SequenceStatus status) {
  if (m_replaying) {
    static_cast<void>(m_sequence.Finish());  // the playback stopped, the samples freed
    KeepFinishedRun();
    m_replayFile.clear();
    m_replaying = false;
    m_graph.UpdateHasCurve();
    SyncButtons();
    m_window.RepaintNow();
    return;
  }
  // The curve is complete, or the run failed with its message shown: the capture ends. A
  // complete curve that something corrupted (a clipped input, another program on the output)
  // is shown with its warnings.
  EndCapture();
  if (status != SequenceStatus::kComplete) return;
  for (const std::string& warning : m_sequence.Warnings()) m_messages.ShowMessage(warning);
}

void CCaptureControl::KeepFinishedRun() {
  const std::optional<Measurement>& last = m_sequence.LastMeasurement();
  if (!last || m_keptMadeAt == last->MadeAt()) return;  // no new complete run
  m_keptMadeAt = last->MadeAt();
  CWorkbenchSession& workbench = m_core.Workbench();
  if (workbench.DataFolder().empty()) return;  // no session: a front end without one
  if (last->Warnings().replayed && m_replayFile.empty()) return;  // samples replayed from no file
  const Result<AddedTrace> added = !last->Warnings().replayed
                                       ? workbench.KeepMeasurement(m_core.FileContext(), *last)
                                       : workbench.KeepReplay(m_replayFile, *last);
  const std::string id = added ? added->id : "";
  Result<void> kept = AddedAndWritten(added);
  if (kept && !m_runName.empty()) kept = workbench.List().Rename(id, m_runName);
  m_runName.clear();
  if (!kept) m_messages.ShowMessage(WithWords(kMsgNotKept, kept.Message()));
  if (!id.empty()) {
    m_liveEntryId = id;  // the graph's own curve: not drawn behind itself
    ShowWorkbenchTraces();
    if (m_onKept) m_onKept();
  }
}

void CCaptureControl::ShowWorkbenchTraces() {
  m_graph.SetCurvesBehind(ShownLiveTraces(m_core.Workbench(), m_liveEntryId));
}

void CCaptureControl::Quit() {
  m_ticking = true;  // no step of a run any more
  SleepMs(50);
  if (m_sequence.IsRunning()) {
    static_cast<void>(m_sequence.Finish());
    m_replaying = false;
  } else {
    m_sequence.CloseInputPeripheral();
  }
  SleepMs(100);
  m_sequence.DeferPlaybackStop();
  SleepMs(100);
  static_cast<void>(m_audio.WaitPlaybackStopped(kQuitPlaybackWaitMs));
  m_sequence.ReleaseReplaySamples();
}

}  // namespace quorvel

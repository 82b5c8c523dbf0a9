// The order of the engine calls of a measurement and of a replay, shared by the window and
// quorvel-cli.
#include "control/run/measurement_sequence.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <thread>
#include <utility>

#include "audio/audio_services.h"
#include "base/shared_state.h"
#include "base/user_messages.h"
#include "base/util.h"
#include "calibration/calibration_flag.h"
#include "control/eq/through_eq.h"
#include "control/run/curve_completion.h"
#include "control/run/failure_words.h"
#include "control/run/measurement_request.h"
#include "engine/audio_engine.h"
#include "engine/device_enumeration.h"
#include "engine/point_timing.h"
#include "graph/graph_caption.h"
#include "graph/graphical.h"

namespace quorvel {

namespace {

void SleepMs(int ms) {
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

// The deferred stop runs 20 ms after it is asked for, or 100 ms after the play thread ends, and
// each stop hand-shake is bounded by about one second.
constexpr int kPlaybackStopWaitMs = 3000;

}  // namespace

std::string OutputOpenMessage(int32_t code) {
  const std::string message = kMsgCannotOpenOutput;
  switch (code) {
    case kMmErrBadDeviceId:
      return message + "Bad device Id";
    case kMmErrAllocated:
      // "Ressource" as the message has always spelled it: the tool's own text, kept on purpose.
      return message + "Ressource still allocated";
    case kMmErrNoDriver:
      return message + "No driver available";
    case kMmErrNoMem:
      return message + "Not enough memory";
    case kWaveErrBadFormat:
      return message + "Bad format";
    case kWaveErrSync:
      return message + "Synchronization error";
    default:
      return message;
  }
}

std::string ResampledWarning(uint32_t inputRate, uint32_t outputRate, uint32_t graphRate) {
  const auto resampled = [](uint32_t rate) {
    return rate != 0 && rate != static_cast<uint32_t>(CAudio::kSampleRate);
  };
  const std::string in = std::to_string(inputRate);
  const std::string out = std::to_string(outputRate);
  std::string devices;
  if (resampled(inputRate) && resampled(outputRate)) {
    devices = inputRate == outputRate
                  ? "The Audio Input and the Audio Output run at " + in + " Hz"
                  : "The Audio Input runs at " + in + " Hz and the Audio Output at " + out + " Hz";
  } else if (resampled(inputRate) || resampled(outputRate)) {
    devices = resampled(inputRate) ? "The Audio Input runs at " + in + " Hz"
                                   : "The Audio Output runs at " + out + " Hz";
  } else {
    return std::string();
  }
  const std::string graph =
      graphRate != 0 ? " (PipeWire's graph runs at " + std::to_string(graphRate) + " Hz)" : "";
  const bool both = resampled(inputRate) && resampled(outputRate);
  return CUtil::FormatString(kMsgResampled, devices.c_str(), graph.c_str(), both ? "them" : "it");
}

CMeasurementSequence::CMeasurementSequence(CAudio& audio, CGraphical& graph, CSharedState& shared,
                                           IUserMessages& messages)
    : m_audio(audio), m_graph(graph), m_shared(shared), m_messages(messages) {
  m_audio.SetEndReplayHook(&CMeasurementSequence::EndReplayHook, this);
}

CMeasurementSequence::~CMeasurementSequence() {
  m_audio.ClearEndReplayHook(this);
}

void CMeasurementSequence::ShowMessage(const std::string& text) {
  m_messages.ShowMessage(text);
}

void CMeasurementSequence::CalibrationOff() {
  SetCalibrationFlag(m_shared, false);
}

// ---- input peripheral ----

bool CMeasurementSequence::OpenInputPeripheral(int index) {
  m_audio.SetSweepPlaying(false);

  const bool valid =
      index >= 0 && index < m_audio.InputCount() && m_audio.InputName(index)[0] != '\0';
  if (!valid) {
    ShowMessage(kMsgInvalidInput);
    InputFailurePath();
    return false;
  }
  m_audio.ChooseInput(index, m_audio.InputName(index));

  if (m_shared.m_bInputOpen.load(std::memory_order_acquire) == 0) {
    const int32_t status = m_audio.OpenInputDevice(index);
    if (status != 0) {
      ShowMessage(WithWords(CUtil::FormatString(kMsgCannotOpenInput, m_audio.GetErrorText(status)),
                            CaptureFailureWords(status)));
      InputFailurePath();
      return false;
    }
  }
  m_shared.m_bInputOpen.store(1, std::memory_order_release);

  if (m_audio.StartCapture() != 0) {
    ShowMessage(kMsgInputThread);
    InputFailurePath();
    return false;
  }
  SleepMs(10);
  return true;
}

void CMeasurementSequence::InputFailurePath() {
  EndCapture();
  CalibrationOff();
  m_shared.m_bInputOpen.store(0, std::memory_order_release);
}

void CMeasurementSequence::CloseInputPeripheral() {
  if (m_audio.IsCaptureThreadRunning()) m_audio.StopCapture();
  SleepMs(10);
  m_audio.ReleaseCapture();  // also a capture thread that has ended by itself
  m_audio.ClearPeaks();
  m_shared.m_bInputOpen.store(0, std::memory_order_release);
}

// ---- sweep and playback ----

bool CMeasurementSequence::StartSweep(double fmin, double fmax, int outputIndex,
                                      const EqFilterSet* throughEq) {
  // A refused range leaves the sweep silent: the measurement then finds no sync burst.
  static_cast<void>(m_audio.GenerateSweep(fmin, fmax));
  if (throughEq != nullptr) ShapeSweepThroughEq(m_audio.SweepToShape(), *throughEq);
  m_audio.SetFilePlaying(false);
  m_audio.ResetAnalysis();
  // The output is held until the detector has measured the input's own floor: the leading
  // silence must reach it after that, whenever the input starts to deliver.
  const bool started = StartPlayback(outputIndex, true);
  if (started) m_audio.SetSweepPlaying(true);
  return started;
}

bool CMeasurementSequence::StartPlayback(int outputIndex, bool paused) {
  if (m_audio.IsPlayThreadRunning()) m_audio.StopPlayThread();

  if (!m_audio.IsOutputOpen()) {
    // The last entry (and no choice at all) is the default output, id -1.
    const int deviceId = OutputDeviceId(outputIndex, m_audio.OutputCount());
    const char* name = deviceId >= 0 ? m_audio.OutputName(outputIndex) : kOutputMapperName;
    const int32_t code = m_audio.OpenNamedOutput(deviceId, name);
    if (code != 0) {
      ShowMessage(WithWords(OutputOpenMessage(code), OutputFailureWords(code)));
      DeferPlaybackStop();
      return false;
    }
  }
  if (paused) {
    const int32_t code = m_audio.PauseOutputDevice();
    if (code != 0) {
      ShowMessage(WithWords(OutputOpenMessage(code), OutputFailureWords(code)));
      m_audio.ScheduleStopPlayback(20);
      return false;
    }
  }

  m_audio.SetSweepPlaying(false);
  if (m_audio.StartPlayThread() != 0) {
    SleepMs(10);
    return true;
  }
  ShowMessage(kMsgPlayThread);
  DeferPlaybackStop();
  return false;
}

void CMeasurementSequence::DeferPlaybackStop() {
  static_cast<void>(m_audio.EndSweepPlayback());
}

void CMeasurementSequence::EndCapture() {
  DeferPlaybackStop();
  SleepMs(20);
  CloseInputPeripheral();
  m_shared.m_bCapturing.store(0, std::memory_order_release);
  m_audio.RotateRecordTrack();
  // A replay keeps its "Playing ..." caption, also when its samples ran out just before its
  // curve was complete.
  if (m_mode != Mode::kReplay && !m_audio.IsFilePlaying()) {
    const bool applied = m_shared.m_bCalibrationApplied.load(std::memory_order_acquire) != 0;
    SetGraphCaption(m_shared, ComposeGraphCaption(m_shared, CaptionSubject::kCapture, applied));
  }
}

// ---- replay ----

bool CMeasurementSequence::PlayLoadedSamples(int outputIndex) {
  if (m_shared.m_bCapturing.load(std::memory_order_acquire) != 0) return false;
  // Only one thread may feed the analysis: the input is closed first.
  if (m_shared.m_bInputOpen.load(std::memory_order_acquire) != 0 ||
      m_audio.IsCaptureThreadRunning()) {
    CloseInputPeripheral();
  }
  TakeCurveBaseline();
  m_replayEnded.store(0, std::memory_order_release);
  m_shared.m_bCurveEndNotified.store(0, std::memory_order_release);
  // The points are timed for the sweep the file recorded: the range of the curve it replays
  // (its title tag's, the default, or the one the front end chose).
  m_audio.SetPointTiming(m_shared.m_curveFmin);
  m_audio.ResetAnalysis();
  SleepMs(10);
  m_audio.SetFilePlaying(true);
  m_audio.SetSweepPlaying(false);
  if (StartPlayback(outputIndex)) return true;
  EndCapture();
  CalibrationOff();
  m_audio.SetFilePlaying(false);
  return false;
}

// Play thread (the engine's end-of-replay hook); never blocks or allocates. The samples are
// freed later on the user-interface thread (ReleaseReplaySamples), once the play thread has
// stopped reading them.
void CMeasurementSequence::EndReplay() {
  if (m_audio.EndReplayPlayback()) m_replayEnded.store(1, std::memory_order_release);
}

void CMeasurementSequence::EndReplayHook(void* context) {
  static_cast<CMeasurementSequence*>(context)->EndReplay();
}

void CMeasurementSequence::ReleaseReplaySamples() {
  if (m_audio.IsPlayThreadRunning() || m_audio.IsFilePlaying()) return;
  m_audio.ReleaseSamples();
}

// ---- notices ----

void CMeasurementSequence::TakeCurveBaseline() {
  m_completionsBefore = m_graph.m_curvesCompleted.load(std::memory_order_acquire);
}

void CMeasurementSequence::TakePointBaseline() {
  m_pointsBefore = m_graph.m_pointsAdded.load(std::memory_order_acquire);
}

void CMeasurementSequence::TakeCurveChart(double fmin, double fmax) {
  const int32_t chart = m_shared.m_nSelectedChart.load(std::memory_order_acquire);
  const bool applied = chart >= 0 &&
                       m_shared.m_bCalibrationApplied.load(std::memory_order_acquire) != 0 &&
                       static_cast<size_t>(chart) < m_shared.m_chartPaths.size() &&
                       static_cast<size_t>(chart) < m_shared.m_chartNames.size();
  m_curveChartPath = applied ? m_shared.m_chartPaths[static_cast<size_t>(chart)] : std::string();
  m_curveChartName = applied ? m_shared.m_chartNames[static_cast<size_t>(chart)] : std::string();
  // The analysis is reset after this, before the run feeds the curve; an input left open may
  // still add a point meanwhile, reading the entries of the run before, kept until the next.
  m_graph.SetLiveCorrection(nullptr);
  m_previousRunChart = std::move(m_runChart);
  m_runChart.reset();
  if (applied) {
    Result<ResolvedChart> resolved = ResolveChart(m_curveChartPath, m_curveChartName, fmin, fmax);
    if (resolved) m_runChart = std::move(*resolved);
  }
  static_assert(kChartCurveSize == CGraphical::kCurveCapacity);
  if (m_runChart) m_graph.SetLiveCorrection(m_runChart->LiveCorrection().data());
}

bool CMeasurementSequence::CurveComplete() const {
  return m_graph.m_curvesCompleted.load(std::memory_order_acquire) != m_completionsBefore;
}

int CMeasurementSequence::PointsAdded() const {
  return static_cast<int>(m_graph.m_pointsAdded.load(std::memory_order_acquire) - m_pointsBefore);
}

void CMeasurementSequence::RequestStop() {
  m_stopRequested.store(1, std::memory_order_release);
}

// ---- a run, step by step ----

bool CMeasurementSequence::Start(const MeasurementRequest& request) {
  m_rateWarning.clear();
  m_lastRunKept = false;
  m_runFmin = request.fmin;
  m_runFmax = request.fmax;
  TakeCurveBaseline();
  TakeCurveChart(request.fmin, request.fmax);
  m_stopRequested.store(0, std::memory_order_release);
  TakePointBaseline();
  m_shared.m_curveFmin = request.fmin;
  m_shared.m_curveFmax = request.fmax;
  m_shared.m_fmin = request.fmin;
  m_shared.m_fmax = request.fmax;
  m_shared.m_bCurveEndNotified.store(0, std::memory_order_release);
  m_audio.SetInputGain(GainFactor(request.gainDb));
  m_audio.SetInputChannels(request.channel, request.reference);
  m_audio.LoadReferenceSamples({});
  m_audio.ResetAnalysis();
  SleepMs(20);

  m_mode = Mode::kIdle;
  m_status = SequenceStatus::kFailed;
  if (m_shared.m_bInputOpen.load(std::memory_order_acquire) == 0 &&
      !OpenInputPeripheral(request.inputIndex)) {
    static_cast<void>(m_audio.WaitPlaybackStopped(kPlaybackStopWaitMs));
    return false;
  }
  // An output that cannot be opened, or a play thread that cannot start, leaves the input
  // open, as its button shows it: the next start measures without opening it again.
  if (!StartSweep(request.fmin, request.fmax, request.outputIndex,
                  request.throughEq ? &*request.throughEq : nullptr)) {
    static_cast<void>(m_audio.WaitPlaybackStopped(kPlaybackStopWaitMs));
    return false;
  }
  m_shared.m_bCapturing.store(1, std::memory_order_release);

  // Asked with both streams open: a server may switch a device's rate for them.
  IAudioServices* services = m_audio.Services();
  m_rateWarning = ResampledWarning(
      services->CaptureEndpointRate(request.inputIndex),
      services->OutputDeviceRate(OutputDeviceId(request.outputIndex, m_audio.OutputCount())),
      services->GraphRate());
  m_startedMs = services->MilliSeconds();
  m_timeoutMs = request.timeoutMs;
  m_phase = Phase::kWaitInput;
  m_phaseStartedMs = m_startedMs;
  m_clippedPoints = 0;
  m_deviceClippedPoints = 0;
  m_otherPrograms.clear();
  m_mode = Mode::kMeasurement;
  m_status = SequenceStatus::kRunning;
  return true;
}

bool CMeasurementSequence::StartReplay(int outputIndex, uint32_t timeoutMs) {
  m_stopRequested.store(0, std::memory_order_release);
  m_lastRunKept = false;
  // the range of the curve the loaded file replays (its title tag's)
  m_runFmin = m_shared.m_curveFmin;
  m_runFmax = m_shared.m_curveFmax;
  TakeCurveChart(m_runFmin, m_runFmax);
  TakePointBaseline();
  m_mode = Mode::kIdle;
  m_status = SequenceStatus::kFailed;
  m_replaySamples = m_audio.Loaded();
  // a replay's reference is the file's own
  m_audio.SetInputChannels(InputChannel::kLouder, ReferenceChannel::kNone);
  if (!PlayLoadedSamples(outputIndex)) {
    static_cast<void>(m_audio.WaitPlaybackStopped(kPlaybackStopWaitMs));
    m_replaySamples = {};
    ReleaseReplaySamples();
    return false;
  }
  IAudioServices* services = m_audio.Services();
  m_startedMs = services != nullptr ? services->MilliSeconds() : 0;
  m_timeoutMs = timeoutMs;
  m_completionHandled = false;
  m_mode = Mode::kReplay;
  m_status = SequenceStatus::kRunning;
  return true;
}

SequenceStatus CMeasurementSequence::Tick() {
  if (m_status != SequenceStatus::kRunning) return m_status;
  switch (m_mode) {
    case Mode::kMeasurement:
      m_status = TickMeasurement();
      break;
    case Mode::kReplay:
      m_status = TickReplay();
      break;
    case Mode::kIdle:
      break;
  }
  return m_status;
}

SequenceStatus CMeasurementSequence::TickMeasurement() {
  if (m_phase == Phase::kSweep && CurveComplete()) {
    const EngineCounters counters = m_audio.Counters();
    m_clippedPoints = counters.clippedPoints;
    m_deviceClippedPoints = counters.deviceClippedPoints;
    m_otherPrograms = m_audio.Services()->OthersOnOutput();
    return SequenceStatus::kComplete;
  }
  if (m_stopRequested.exchange(0, std::memory_order_acq_rel) != 0) return SequenceStatus::kStopped;
  if (!m_audio.IsCaptureThreadRunning()) {
    const int32_t code = m_audio.Counters().captureResult;
    ShowMessage(WithWords(CUtil::FormatString(kMsgInputStopped, m_audio.GetErrorText(code)),
                          CaptureFailureWords(code)));
    return SequenceStatus::kFailed;
  }
  // A refused buffer or a stall ends the play thread, and the output closes 100 ms later; the
  // output has stopped already, whatever underflow its end may show meanwhile.
  const EngineCounters counters = m_audio.Counters();
  if (!m_audio.IsOutputOpen() || counters.outputFailure != 0 || counters.outputStalled) {
    ShowMessage(OutputStoppedMessage());
    return SequenceStatus::kFailed;
  }
  const uint32_t now = m_audio.Services()->MilliSeconds();
  if (m_phase != Phase::kSweep) {
    const SequenceStatus status = TickStart(now);
    if (status != SequenceStatus::kRunning) return status;
  } else {
    const std::string dropout = Dropout();
    if (!dropout.empty()) {
      ShowMessage(CUtil::FormatString(kMsgDropout, dropout.c_str()));
      return SequenceStatus::kFailed;
    }
  }
  if (m_timeoutMs != 0 && now - m_startedMs > m_timeoutMs) {
    ShowMessage(m_audio.Counters().synced ? kMsgNotComplete : kMsgNoSync);
    return SequenceStatus::kFailed;
  }
  return SequenceStatus::kRunning;
}

// The two waits before the sweep plays, each bounded by kStartWaitMs.
SequenceStatus CMeasurementSequence::TickStart(uint32_t now) {
  if (m_phase == Phase::kWaitInput) {
    // The detector has seen 16000 frames of the input's own floor: the output may play now.
    const EngineCounters counters = m_audio.Counters();
    if (counters.noiseFloorReady) {
      m_underflowsBefore = counters.outputUnderflows;
      const int32_t code = m_audio.RestartOutputDevice();
      if (code != 0) {
        ShowMessage(WithWords(kMsgOutputStopped, OutputFailureWords(code)));
        return SequenceStatus::kFailed;
      }
      m_phase = Phase::kWaitOutput;
      m_phaseStartedMs = now;
    } else if (now - m_phaseStartedMs > kStartWaitMs) {
      ShowMessage(CUtil::FormatString(kMsgInputSilent, m_audio.ChosenInputName()));
      return SequenceStatus::kFailed;
    }
    return SequenceStatus::kRunning;
  }
  if (m_audio.Counters().outputStarted) {
    // From here on every frame counts: the recording must not lose any.
    IAudioServices* services = m_audio.Services();
    m_framesLostBefore = services->CaptureFramesLost();
    // Whatever else plays to the output from here on is recorded with the sweep.
    services->WatchOutputForOthers();
    m_phase = Phase::kSweep;
  } else if (now - m_phaseStartedMs > kStartWaitMs) {
    ShowMessage(CUtil::FormatString(kMsgOutputNotStarted, m_audio.ChosenOutputName()));
    return SequenceStatus::kFailed;
  }
  return SequenceStatus::kRunning;
}

std::string CMeasurementSequence::Dropout() const {
  const EngineCounters counters = m_audio.Counters();
  if (counters.outputUnderflows != m_underflowsBefore) {
    return "the Audio Output ran out of samples (an underflow)";
  }
  const uint64_t lost = m_audio.Services()->CaptureFramesLost() - m_framesLostBefore;
  if (lost != 0) {
    return "the Audio Input lost " + std::to_string(lost) + " frames";
  }
  if (counters.silentPoints != 0) {
    return "the recording has a gap of silence";
  }
  return std::string();
}

std::string CMeasurementSequence::OutputStoppedMessage() const {
  const EngineCounters counters = m_audio.Counters();
  if (counters.outputStalled) {
    return WithWords(kMsgOutputStopped, "The device stopped playing for more than a second.");
  }
  return WithWords(kMsgOutputStopped, OutputFailureWords(counters.outputFailure));
}

MeasurementWait CMeasurementSequence::Waiting() const {
  if (m_mode != Mode::kMeasurement || m_status != SequenceStatus::kRunning) {
    return MeasurementWait::kNone;
  }
  switch (m_phase) {
    case Phase::kWaitInput:
      return MeasurementWait::kInput;
    case Phase::kWaitOutput:
      return MeasurementWait::kOutput;
    case Phase::kSweep:
      break;
  }
  return MeasurementWait::kNone;
}

std::string CMeasurementSequence::WaitingText() const {
  switch (Waiting()) {
    case MeasurementWait::kInput:
      return CUtil::FormatString(kMsgWaitInput, m_audio.ChosenInputName());
    case MeasurementWait::kOutput:
      return CUtil::FormatString(kMsgWaitOutput, m_audio.ChosenOutputName());
    case MeasurementWait::kNone:
      break;
  }
  return std::string();
}

MeasurementWarnings CMeasurementSequence::LiveWarnings() const {
  MeasurementWarnings warnings;
  warnings.clippedPoints = m_clippedPoints;
  warnings.deviceClippedPoints = m_deviceClippedPoints;
  warnings.otherPrograms = m_otherPrograms;
  warnings.resampled = m_rateWarning;
  return warnings;
}

std::string CMeasurementSequence::ClipWarning() const {
  return LiveWarnings().ClipText();
}

std::string CMeasurementSequence::OtherProgramWarning() const {
  return LiveWarnings().OtherProgramText();
}

std::vector<std::string> CMeasurementSequence::Warnings() const {
  return LiveWarnings().Texts();
}

SequenceStatus CMeasurementSequence::TickReplay() {
  if (CurveComplete() && !m_completionHandled) {
    m_completionHandled = true;
    EndCapture();
    // The calibration goes off with the replay's curve, whether the samples run out just after
    // it or a while later.
    CalibrationOff();
  }
  // The rule of a live sweep: a gap of silence ends it at once.
  if (m_audio.Counters().silentPoints != 0) {
    static_cast<void>(m_audio.EndReplayPlayback());
    return RefuseReplayCurve(kMsgRecordingGap);
  }
  if (ReplayEnded()) return SequenceStatus::kComplete;
  if (m_stopRequested.exchange(0, std::memory_order_acq_rel) != 0) {
    static_cast<void>(m_audio.EndReplayPlayback());
    return SequenceStatus::kStopped;
  }
  if (!m_audio.IsOutputOpen()) {
    ShowMessage(OutputStoppedMessage());
    m_audio.SetFilePlaying(false);
    return SequenceStatus::kFailed;
  }
  IAudioServices* services = m_audio.Services();
  if (m_timeoutMs != 0 && services != nullptr &&
      services->MilliSeconds() - m_startedMs > m_timeoutMs) {
    static_cast<void>(m_audio.EndReplayPlayback());
    ShowMessage(kMsgNotComplete);
    return SequenceStatus::kFailed;
  }
  return SequenceStatus::kRunning;
}

SequenceStatus CMeasurementSequence::Finish() {
  const Mode mode = m_mode;
  m_mode = Mode::kIdle;
  if (mode == Mode::kIdle) return m_status;
  if (m_status == SequenceStatus::kRunning) {
    // Ended before Tick saw an end: the front end stops it.
    m_status = SequenceStatus::kStopped;
    if (mode == Mode::kReplay) static_cast<void>(m_audio.EndReplayPlayback());
  }
  if (mode == Mode::kMeasurement) {
    EndCapture();
    static_cast<void>(m_audio.WaitPlaybackStopped(kPlaybackStopWaitMs));
    if (m_status == SequenceStatus::kComplete) KeepMeasurement(false, {});
    return m_status;
  }
  static_cast<void>(m_audio.WaitPlaybackStopped(kPlaybackStopWaitMs));
  // A curve whose samples ran out after its last point is whole all the same.
  if (m_status == SequenceStatus::kComplete && !CurveComplete() &&
      !CurveWholeAtSamplesEnd(PointsAdded())) {
    // The samples ran out first: the curve stays incomplete, or never began when the recording
    // holds no sync burst.
    ShowMessage(m_audio.Counters().synced ? kMsgNotComplete : kMsgRecordingNoSync);
    m_status = SequenceStatus::kFailed;
  } else if (m_status == SequenceStatus::kComplete) {
    static_cast<void>(TakeWholeCurveAsComplete(m_audio, m_graph));
    // The play thread has gone: the samples it played are still there.
    const ReplayVerdict verdict =
        JudgeReplay(m_audio.Counters(), m_graph.m_count.load(std::memory_order_acquire),
                    m_replaySamples, m_runFmin, m_runFmax);
    if (!verdict.failure.empty()) {
      m_status = RefuseReplayCurve(verdict.failure);
    } else {
      KeepMeasurement(true, verdict.warnings);
    }
  }
  m_replaySamples = {};
  ReleaseReplaySamples();
  return m_status;
}

SequenceStatus CMeasurementSequence::RefuseReplayCurve(const std::string& message) {
  ShowMessage(message);
  m_shared.m_bCurveEndNotified.store(0, std::memory_order_release);
  return SequenceStatus::kFailed;
}

void CMeasurementSequence::KeepMeasurement(bool replayed,
                                           const std::vector<std::string>& replayWarnings) {
  Measurement::Parts parts;
  parts.fmin = m_runFmin;
  parts.fmax = m_runFmax;
  const int count = std::clamp(m_graph.m_count.load(std::memory_order_acquire), 0, kPointsPerCurve);
  parts.levels.reserve(static_cast<size_t>(count));
  for (int k = 0; k < count; ++k) {
    parts.levels.push_back(m_graph.m_points[k].load(std::memory_order_relaxed));
  }
  if (replayed) {
    parts.warnings.replayed = true;
    parts.warnings.replayTexts = replayWarnings;
  } else {
    parts.warnings = LiveWarnings();
    parts.playedStart = m_audio.PlayedSignalStart();
  }
  // The one copy of the record track: the next run writes over the track, not over this.
  auto recording = std::make_shared<Recording>();
  const std::span<const int16_t> samples = m_audio.Recording();
  const std::span<const int16_t> reference = m_audio.RecordingReference();
  if (reference.size() == samples.size() && !reference.empty()) {
    // the measurement as channel 0, the timing reference as channel 1
    recording->channels = 2;
    recording->samples.resize(2 * samples.size());
    for (std::size_t i = 0; i < samples.size(); ++i) {
      recording->samples[2 * i] = samples[i];
      recording->samples[2 * i + 1] = reference[i];
    }
  } else {
    recording->samples.assign(samples.begin(), samples.end());
  }
  parts.recording = std::move(recording);
  parts.tags.comment = m_curveChartName;
  // the chart the curve was corrected with, resolved once at the run's start
  parts.chart = m_runChart;
  parts.caption = GraphCaption(m_shared);
  parts.madeAt = std::chrono::system_clock::now();
  m_lastMeasurement.emplace(std::move(parts));
  m_lastRunKept = true;
}

}  // namespace quorvel

#pragma once

#include <atomic>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "base/messages.h"
#include "control/run/measurement_request.h"
#include "control/run/replay_verdict.h"
#include "measurement/measurement.h"

namespace quorvel {

class CAudio;
class CGraphical;
class IUserMessages;
struct CSharedState;

// The longest wait for the input to deliver, and then for the output to play, on the devices'
// clock [ms]: a device that resumes from suspend can take seconds.
constexpr uint32_t kStartWaitMs = 10000;

// kMsgCannotOpenOutput with the text of an output result code (none for other codes).
[[nodiscard]] std::string OutputOpenMessage(int32_t code);
// The warning of a measurement whose input or output runs at another rate than 48000 Hz, in
// one sentence for both ("The Audio Output runs at 44100 Hz: the server resamples..."), with
// the graph's rate when not 0; empty when both run at 48000 Hz or at a rate not known (0).
[[nodiscard]] std::string ResampledWarning(uint32_t inputRate, uint32_t outputRate,
                                           uint32_t graphRate);

// What a run's step reports: still running, or how it ended.
enum class SequenceStatus { kRunning, kComplete, kStopped, kFailed };

// What a measurement waits for before its sweep plays.
enum class MeasurementWait { kNone, kInput, kOutput };

// The order of the engine calls of a measurement, in one place for the window and quorvel-cli:
// open the input, generate the sweep, reset the analysis, open the output paused and start the
// play thread, set the sweep flag; once the detector has measured the input's own floor, let
// the output play, and once it plays, watch the sweep for dropouts; when the curve is complete
// (or on a stop or a failure) schedule the playback stop, close the input and move the
// recording to the start of the record track.
// A replay likewise: reset, set the file flag, open the output and start the play thread; the
// play thread ends the replay at the end of the samples.
//
// A run goes in steps, so the front end keeps its own loop and stays responsive: Start (or
// StartReplay), then Tick until it no longer reports kRunning (quorvel-cli every 100 ms, the
// window from its 30 ms timer), then Finish. Nothing here waits for the curve.
//
// The sequence reads the curve store's notices (its atomic counters) and installs itself as the
// engine's end-of-replay hook. Every operation runs on the user-interface thread (quorvel-cli's
// main thread) unless marked; messages go through IUserMessages.
class CMeasurementSequence {
 public:
  CMeasurementSequence(CAudio& audio, CGraphical& graph, CSharedState& shared,
                       IUserMessages& messages);
  ~CMeasurementSequence();
  CMeasurementSequence(const CMeasurementSequence&) = delete;
  CMeasurementSequence& operator=(const CMeasurementSequence&) = delete;

  // ---- a run, step by step ----
  // The start button's measurement: range, gain, reset, input, sweep (its output held). True
  // when it runs; false after a message, with nothing left running but the input when it was
  // the output or the play thread that failed (Finish then only reports kFailed). The caller has
  // emptied the curve. May block briefly (device hand-shakes, at most seconds).
  [[nodiscard]] bool Start(const MeasurementRequest& request);
  // A replay of the samples loaded into the engine on output list entry `outputIndex`, until
  // the curve is complete and the samples have run out (or a stop request, or timeoutMs on the
  // devices' clock when not 0). False after a message, with the samples freed. The caller has
  // emptied the curve.
  [[nodiscard]] bool StartReplay(int outputIndex, uint32_t timeoutMs);
  // One look at the running measurement or replay: kRunning, or how it ended (a completed
  // curve, a stop request, a failure already shown as a message). A measurement goes on here
  // from waiting for the input's floor to waiting for the output to play to the sweep, and
  // fails when a wait passes kStartWaitMs or the sweep has a dropout (an output underflow,
  // capture frames lost, a gap of silence in the curve). A replay's completed curve is handled
  // here once (EndCapture); a gap of silence in its recording ends it as a failure. After the
  // end, every further call reports the same.
  [[nodiscard]] SequenceStatus Tick();
  // Ends the run: a measurement's EndCapture, then the wait for the playback stop; a replay's
  // wait for the playback stop, its curve taken as complete when its samples ran out with all
  // its points (TakeWholeCurveAsComplete), its verdict (JudgeReplay) and the release of its
  // samples. A run that still ran counts as stopped. Returns how the run ended: a replay whose
  // samples ran out before the curve was whole, or whose curve the verdict refuses, ends here as
  // kFailed, with its message, and its curve can no longer be saved. Blocks until the devices have
  // stopped (at most a few seconds).
  SequenceStatus Finish();
  // A run has started and not yet been finished.
  bool IsRunning() const { return m_mode != Mode::kIdle; }
  // What the running measurement waits for (kNone once its sweep plays, or without one), and
  // that in words naming the device, for quorvel-cli's progress line and the window's caption
  // (empty for kNone).
  MeasurementWait Waiting() const;
  std::string WaitingText() const;
  // After a complete measurement: its points whose block reached full scale, and the warning
  // that says the input clipped and what to lower: the input device's level when any point
  // clipped before the gain, else the gain (empty when none clipped).
  int ClippedPoints() const { return m_clippedPoints; }
  std::string ClipWarning() const;
  // After a complete measurement: the warning that another program played to the output during
  // the sweep, naming the programs the server named (empty when none played).
  std::string OtherProgramWarning() const;
  // The devices' rates when the measurement started, as a warning (ResampledWarning): the
  // front ends say it before the sweep, and the complete curve carries it.
  const std::string& RateWarning() const { return m_rateWarning; }
  // Every warning a complete measurement carries, in the order to show them.
  std::vector<std::string> Warnings() const;

  // The last run that ended complete (a measurement, or a replay whose curve stands), as a
  // value; none before one. Its recording is copied out of the record track once, when the run
  // is finished, so the next run leaves it as it was.
  const std::optional<Measurement>& LastMeasurement() const { return m_lastMeasurement; }
  // The measurement the last run ended in: LastMeasurement when the last run that started
  // ended complete and was kept; null while a run goes and after one that failed or stopped.
  const Measurement* FinishedRunMeasurement() const {
    return m_lastRunKept && m_lastMeasurement ? &*m_lastMeasurement : nullptr;
  }

  // ---- the capture control's steps ----
  // Opens input `index` of the engine's list and starts its capture thread. False after a
  // message, with the input closed and calibration off.
  [[nodiscard]] bool OpenInputPeripheral(int index);
  void CloseInputPeripheral();
  // Generates the sweep for fmin..fmax, resets the analysis and starts playback on output list
  // entry `outputIndex` with the output held (RestartOutputDevice lets it play); sets the sweep
  // flag on success, so the play thread queues the sweep's start and the analysis measures the
  // input's floor. False after a message.
  // With `throughEq`, the sweep plays through that equaliser (control/through_eq.h).
  [[nodiscard]] bool StartSweep(double fmin, double fmax, int outputIndex,
                                const EqFilterSet* throughEq = nullptr);
  // Opens the output when none is open (held when `paused`) and starts the play thread. False
  // after a message.
  [[nodiscard]] bool StartPlayback(int outputIndex, bool paused = false);
  // Schedules the playback stop (20 ms) when the sweep plays, and clears the sweep flag.
  void DeferPlaybackStop();
  // Ends a capture (or a replay's curve): deferred playback stop, input closed, recording moved
  // to the start of the record track, caption set (unless a replay runs).
  void EndCapture();
  // Plays the samples loaded into the engine (m_fileSamples) on output list entry
  // `outputIndex` through the analysis, its points timed for a sweep from m_curveFmin; the input
  // is closed first. True when the replay runs.
  [[nodiscard]] bool PlayLoadedSamples(int outputIndex);
  // Frees the replay's samples once the replay has ended and its play thread is gone.
  void ReleaseReplaySamples();

  // ---- notices from other threads; never block ----
  void RequestStop();  // any thread
  // The end of a replay's samples. Play thread (through the engine's hook); never blocks or
  // allocates.
  void EndReplay();

  // The curve store has found the curve complete since the run started.
  bool CurveComplete() const;
  bool ReplayEnded() const { return m_replayEnded.load(std::memory_order_acquire) != 0; }
  // Points the curve store has taken since the run started.
  int PointsAdded() const;
  // The microphone chart applied when the last run started (its full path and name; empty:
  // none), which the run's curve took: a replay switches the calibration off once its curve is
  // whole, and the calibration button may change it afterwards, but an analysis of the run's
  // recording corrects it as its curve was corrected.
  const std::string& CurveChartPath() const { return m_curveChartPath; }
  const std::string& CurveChartName() const { return m_curveChartName; }

 private:
  enum class Mode { kIdle, kMeasurement, kReplay };
  // A measurement's phases: the input's floor, the output's start, the sweep.
  enum class Phase { kWaitInput, kWaitOutput, kSweep };

  SequenceStatus TickMeasurement();
  SequenceStatus TickStart(uint32_t now);
  // The dropout the running sweep has had, in words; empty when none.
  std::string Dropout() const;
  std::string OutputStoppedMessage() const;
  SequenceStatus TickReplay();
  // A replayed curve that cannot stand: its message, and no save of its recording.
  SequenceStatus RefuseReplayCurve(const std::string& message);
  void InputFailurePath();
  void CalibrationOff();
  void ShowMessage(const std::string& text);
  static void EndReplayHook(void* context);
  // The curve store's counters as the run found them at its start.
  void TakeCurveBaseline();
  void TakePointBaseline();
  // The chart applied at the start of a run, resolved once for the run's range [Hz]: the live
  // curve's correction for the whole run, and the kept measurement's chart.
  void TakeCurveChart(double fmin, double fmax);
  // The last complete measurement's warnings, worded by the measurement layer.
  MeasurementWarnings LiveWarnings() const;
  // The finished run as a Measurement (analysis stopped, user-interface thread).
  void KeepMeasurement(bool replayed, const std::vector<std::string>& replayWarnings);

  CAudio& m_audio;
  CGraphical& m_graph;
  CSharedState& m_shared;
  IUserMessages& m_messages;
  uint32_t m_completionsBefore = 0;
  uint32_t m_pointsBefore = 0;
  std::atomic<int32_t> m_stopRequested{0};
  std::atomic<int32_t> m_replayEnded{0};

  // The run in progress (user-interface thread only).
  Mode m_mode = Mode::kIdle;
  SequenceStatus m_status = SequenceStatus::kComplete;
  uint32_t m_startedMs = 0;  // the devices' clock at the start [ms]
  uint32_t m_timeoutMs = 0;  // 0: no limit
  bool m_completionHandled = false;
  Phase m_phase = Phase::kWaitInput;
  uint32_t m_phaseStartedMs = 0;  // the devices' clock when the phase began [ms]
  int32_t m_underflowsBefore = 0;
  uint64_t m_framesLostBefore = 0;
  std::string m_curveChartPath;
  std::string m_curveChartName;
  std::optional<ResolvedChart> m_runChart;  // the running or last run's; the curve reads it
  // The run before's: a point the analysis adds while the next run starts may still read it.
  std::optional<ResolvedChart> m_previousRunChart;
  double m_runFmin = 0.0;  // the range of the running or last run [Hz]
  double m_runFmax = 0.0;
  bool m_lastRunKept = false;
  std::span<const int16_t> m_replaySamples;  // the running replay's, until they are released
  // Of the last complete measurement: its clipped points, those clipped before the gain, and
  // the other programs that played to its output.
  int m_clippedPoints = 0;
  int m_deviceClippedPoints = 0;
  std::vector<std::string> m_otherPrograms;
  std::optional<Measurement> m_lastMeasurement;
  std::string m_rateWarning;  // of the running or last measurement
};

}  // namespace quorvel

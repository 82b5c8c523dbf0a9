#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

class CAudio;
class CGraphical;
class IUserMessages;
struct CSharedState;

// The messages of the capture control.
constexpr char kMsgInvalidInput[] = "Not a valid Audio Input peripheral";
constexpr char kMsgCannotOpenInput[] = "Could Not Open this Audio Input Device: \n%s";
constexpr char kMsgInputThread[] = "Sorry, the Audio Input thread could not be started...";
constexpr char kMsgCannotOpenOutput[] = "Could Not Open the Audio Output Device: ";
constexpr char kMsgPlayThread[] = "Could not start Audio play thread";
// Failures the window only shows as a curve that stops growing; the headless front end and the
// window's watchdog report them with these texts.
constexpr char kMsgInputStopped[] = "The Audio Input stopped during the measurement: \n%s";
constexpr char kMsgOutputStopped[] = "The Audio Output stopped during the measurement";
constexpr char kMsgNoSync[] = "No sync burst was heard: check the loudspeaker and the microphone";
constexpr char kMsgNotComplete[] = "The measurement did not complete in time";

// The text appended to kMsgCannotOpenOutput for an output result code (empty for others).
const char* OutputOpenErrorText(int32_t code);

// What a measurement is asked to do.
struct MeasurementRequest {
  int inputIndex = 0;    // entry of the engine's input list
  int outputIndex = -1;  // entry of the output list; -1 or the last entry: the default output
  double fmin = 20.0;    // [Hz]
  double fmax = 20000.0;
  double gainDb = 0.0;  // input gain, -12..+12 dB
  // Longest wait for the curve, on the devices' clock (IAudioServices::MilliSeconds) [ms];
  // 0: no limit (the window waits for its user).
  uint32_t timeoutMs = 0;
};

enum class MeasurementOutcome { kComplete, kStopped, kFailed };

// The order of the engine calls of a measurement, in one place for the window and quorvel-cli:
// open the input, generate the sweep, reset the analysis, open the output and start the play
// thread, set the sweep flag; when the curve is complete (or on a stop or a failure) schedule
// the playback stop, close the input and move the recording to the start of the record track.
// A replay likewise: reset, set the file flag, open the output and start the play thread; the
// play thread ends the replay at the end of the samples.
//
// The sequence reads the curve store's notices (its atomic counters) and installs itself as the
// engine's end-of-replay hook.
// Every operation runs on the user-interface thread (quorvel-cli's main thread) unless marked;
// messages go through IUserMessages.
class CMeasurementSequence {
 public:
  CMeasurementSequence(CAudio& audio, CGraphical& graph, CSharedState& shared,
                       IUserMessages& messages);
  ~CMeasurementSequence();
  CMeasurementSequence(const CMeasurementSequence&) = delete;
  CMeasurementSequence& operator=(const CMeasurementSequence&) = delete;

  // ---- the capture control's steps ----
  // Opens input `index` of the engine's list and starts its capture thread. 1 on success;
  // 0 after a message, with the input closed and calibration off.
  int OpenInputPeripheral(int index);
  void CloseInputPeripheral();
  // Generates the sweep for fmin..fmax, resets the analysis and starts playback on output list
  // entry `outputIndex`; sets the sweep flag on success. 1 on success, 0 after a message.
  int StartSweep(double fmin, double fmax, int outputIndex);
  // Opens the output when none is open and starts the play thread. 1 on success, 0 after a
  // message.
  int StartPlayback(int outputIndex);
  // Schedules the playback stop (20 ms) when the sweep plays, and clears the sweep flag.
  void DeferPlaybackStop();
  // Ends a capture (or a replay's curve): deferred playback stop, input closed, recording moved
  // to the start of the record track, caption set (unless a replay runs).
  void EndCapture();
  // Replays the samples loaded into the engine (m_fileSamples) on output list entry
  // `outputIndex`; the input is closed first. 1 when the replay runs.
  int StartReplay(int outputIndex);
  // Frees the replay's samples once the replay has ended and its play thread is gone.
  void ReleaseReplaySamples();

  // ---- notices from other threads; never block ----
  void RequestStop();  // any thread
  // The end of a replay's samples. Play thread (through the engine's hook).
  void EndReplay();

  // ---- whole runs (user-interface thread; `poll` runs every 10 ms while waiting) ----
  // The start button's measurement: range, gain, reset, input, sweep, then the wait for the
  // curve, a stop request or a failure, then EndCapture and the wait for the playback stop.
  // The caller has emptied the curve.
  MeasurementOutcome RunMeasurement(const MeasurementRequest& request,
                                    const std::function<void()>& poll);
  // A replay of the loaded samples until the curve is complete and the samples have run out
  // (or a stop request, or timeoutMs on the devices' clock when not 0). The caller has emptied
  // the curve.
  MeasurementOutcome RunReplay(int outputIndex, uint32_t timeoutMs,
                               const std::function<void()>& poll);

  // The curve store has found the curve complete since the run started.
  bool CurveComplete() const;
  bool ReplayEnded() const { return m_replayEnded.load(std::memory_order_acquire) != 0; }
  // Points the curve store has taken since the run started.
  int PointsAdded() const;

 private:
  void InputFailurePath();
  void CalibrationOff();
  void ShowMessage(const std::string& text);
  static void EndReplayHook(void* context);

  // The curve store's counters as the run found them at its start.
  void TakeCurveBaseline();
  void TakePointBaseline();

  CAudio& m_audio;
  CGraphical& m_graph;
  CSharedState& m_shared;
  IUserMessages& m_messages;
  uint32_t m_completionsBefore = 0;
  uint32_t m_pointsBefore = 0;
  std::atomic<int32_t> m_stopRequested{0};
  std::atomic<int32_t> m_replayEnded{0};
};

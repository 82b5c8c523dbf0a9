#pragma once

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "audio/audio_services.h"
#include "audio/auto_reset_event.h"
#include "audio/one_shot_timer.h"
#include "engine/capture_analysis.h"
#include "engine/device_enumeration.h"
#include "engine/input_channel.h"
#include "engine/point_timing.h"
#include "engine/sweep_signal.h"

namespace quorvel {

class COutputWatchdog;
class ICurveListener;

// What a front end watches of a measurement, each value read on its own (acquire): the
// analysis' counters (engine/capture_analysis.h), then the recording's and the devices'.
struct EngineCounters : AnalysisCounters {
  int32_t recordCount = 0;    // [samples] recorded since the capture started
  int32_t capturedCount = 0;  // [samples] the finished recording's length
  int32_t captureResult = 0;  // what the capture thread ended with, 0 = nothing
  int32_t peakLeft = 0;       // the input level meter's values
  int32_t peakRight = 0;
  bool outputStarted = false;    // the output plays (started, no underflow since)
  int32_t outputUnderflows = 0;  // since the output was opened
  bool outputStalled = false;    // the play thread ended a sweep on a stall
  int32_t outputFailure = 0;     // the code of a buffer the output refused
  int32_t sweepPos = 0;          // [samples] the play thread's position in the sweep
};

// A loaded file's samples, from std::malloc (the WAV sample reader), owned by the engine.
struct FreeSamples {
  void operator()(int16_t* samples) const noexcept { std::free(samples); }
};
using LoadedSamples = std::unique_ptr<int16_t[], FreeSamples>;

// CAudio: the audio engine. One object owns every buffer, counter and flag of a measurement
// (about 13.8 MB): it is always created on the heap, never on the stack. Nothing is allocated
// while audio runs; the only heap block it owns is a loaded file's samples. It reaches the
// platform only through the audio services it is given, and the curve store only through its
// listener. Its state is its own: callers go through the operations below, grouped by the
// thread that calls them.
//
// Its member functions live in the files of their job: engine_state.cpp (construction, reset,
// the front ends' accessors), sweep_generator.cpp, capture_analysis.cpp, record_track.cpp,
// device_enumeration.cpp, capture_stream.cpp and playback_stream.cpp.
//
// Threads. The user-interface thread (quorvel-cli's main thread) makes every call not marked
// otherwise. The capture thread (CaptureThreadProc) and, during a replay, the play thread
// (PlayThreadProc) are the analysing thread: they alone call PushFrame. The output's
// notification thread calls WaveOutProc; the one-shot timer's thread runs StopPlaybackTimerProc.
// No lock is taken between them. The state they share, with its writers (W) and readers (R),
// and the operations through which the user-interface thread reaches it:
//
//   CAudio
//   m_capturing        W: UI (StartCapture, StopCapture), capture thread (clears at its end)
//                                                           R: capture thread, UI
//   m_hCaptureThread   W: UI (start, join), capture thread (at its end)
//                                                           R: UI (IsCaptureThreadRunning)
//   m_captureResult    W: capture thread, the reset         R: UI (Counters)
//   m_resetRequested   W: UI (asks, withdraws), capture thread (takes, clears)  R: both
//   m_inputGain        W: UI (SetInputGain)                 R: capture thread
//   m_sweepPlaying     W: UI (SetSweepPlaying, EndSweepPlayback), timer thread (clears)
//                                                           R: analysing thread, play thread, UI
//   m_filePlaying      W: UI (SetFilePlaying), play thread (EndReplayPlayback clears)
//                                                           R: analysing thread, play thread, UI
//   m_fileSampleCount  W: UI (LoadSamples, ReleaseSamples), play thread (clears at the end)
//                                                           R: play thread, UI (Loaded)
//   m_filePlayPos, m_sweepPos
//                      W: play thread; UI before playback   R: play thread, UI (Counters)
//   m_recordCount, m_recordStart, m_capturedCount
//                      W: analysing thread (the captured count at the end of the curve);
//                         UI (TakeRecordingAsCapture); the reset
//                                                           R: UI (Counters, Recording),
//                                                              analysing thread (curve store)
//   m_peakLeft, m_peakRight
//                      W: analysing thread (raise), UI (HalvePeaks, ClearPeaks)  R: UI (Counters)
//   m_intakeCount, m_recordStartIntake, m_captureLead
//                      W: analysing thread; the reset       R: UI (PlayedSignalStart)
//   m_lastOutputPosition  capture thread only
//   m_signalStartFrame W: play thread; the reset            R: UI (PlayedSignalStart)
//   m_framesQueued, m_signalStartNoted  play thread only
//
//   CCaptureAnalysis m_analysis (engine/capture_analysis.h)
//   m_blockFill        W: analysing thread; play thread (RestartBlock, while it plays silence);
//                         the reset                         R: analysing thread
//   m_pointDelayBlocks W: UI (GenerateSweep, SetPointTiming)  R: analysing thread
//   m_synced, m_syncFrames, m_noiseFloorReady, m_clippedPoints, m_deviceClippedPoints,
//   m_silentPoints     W: analysing thread; the reset       R: UI (Counters)
//   m_playVolume       W: UI (SetPlayVolume)                R: play thread
//   m_hWaveOut         W: UI (open, close), timer thread (close)
//                                                           R: play thread, UI (IsOutputOpen)
//   m_waveOutOpened    W: notification thread, UI           R: UI, timer thread, play thread
//   m_outputStarted    W: notification thread (started, underflow), UI (open)
//                                                           R: play thread (watchdog), UI
//   m_outputUnderflows W: notification thread, UI (open)    R: UI (Counters)
//   m_outputStalled, m_outputFailure
//                      W: play thread, UI (open)            R: UI (Counters)
//   m_hPlayThread      W: UI (start), the stopping thread (UI or timer)  R: play thread,
//                                                              UI (IsPlayThreadRunning)
//   m_playThreadAlive  W: play thread                       R: the stopping thread, UI
//   m_stopPlay         W: the stopping thread; play thread (a refused buffer)  R: play thread
//   m_playEvent        W: notification thread, the stopping thread (signal)  R: play thread
//   m_closingOutput    W: the closing thread (UI or timer)  R: the stopping thread
//   m_stopBusy         W: timer thread (or UI at the end)   R: UI (WaitPlaybackStopped)
//   m_playHeaders[i].flags
//                      W: play thread, the services' output thread (done), the closing thread
//                                                           R: play thread, services
//
//   CSharedState (base/shared_state.h)
//   m_bCurveEndNotified  W: analysing thread (the curve store sets it once), UI (clears before
//                           a run)                          R: UI (save check)
//   m_bCalibrationApplied, m_nSelectedChart
//                        W: UI                              R: analysing thread (the curve
//                                                              store subtracts the chart)
//   m_bCapturing, m_bInputOpen, m_bSmoothing, m_bMeterNeedsFrame
//                        W: UI                              R: UI (one thread; atomic so that
//                                                              the window's timers may read them)
class CAudio {
 public:
  static constexpr int kSampleRate = 48000;
  static constexpr int kRingSize = CCaptureAnalysis::kRingSize;  // input rings, mask 0x1fff
  static constexpr int kRingMask = CCaptureAnalysis::kRingMask;
  static constexpr int kRecordSize = 4194304;  // record track, mask 0x3fffff
  static constexpr int kRecordMask = 0x3fffff;
  static constexpr int kSweepCapacity = kSignalCapacity;
  static constexpr int kSineTableSize = kSineTableEntries;
  static constexpr int kBurstLength = kSyncBurstLength;
  static constexpr int kBlockLength = CCaptureAnalysis::kBlockLength;  // 20 ms at 48000 Hz
  static constexpr int kPlayBufferCount = 128;
  static constexpr int kPlayBufferBytes = 512;  // 128 frames of two 16-bit samples
  static constexpr int kMaxDevices = 32;
  static constexpr int kDeviceNameBytes = 512;

  // services: the platform audio services (null: no device, analysis only).
  // listener: receives the curve points (null: points are dropped).
  explicit CAudio(IAudioServices* services = nullptr, ICurveListener* listener = nullptr);
  // Stops the capture thread, the deferred stop, the play thread and the output (in that
  // order) and frees a loaded file's samples. May block for the bounded stop hand-shakes.
  virtual ~CAudio();
  CAudio(const CAudio&) = delete;
  CAudio& operator=(const CAudio&) = delete;

  // Set while no analysing thread runs.
  void SetCurveListener(ICurveListener* listener) { m_analysis.SetListener(listener); }
  IAudioServices* Services() const { return m_services; }

  // ---- engine state ----
  // Before a measurement or a replay. While a capture thread runs, the reset is handed to it
  // (see ServiceResetRequest) and this waits for it, 1 ms at a time, at most about one second;
  // otherwise the reset is done here.
  void ResetAnalysis();
  // Capture thread, once per poll iteration: performs a reset that ResetAnalysis has handed
  // over, then clears m_resetRequested. Never blocks or allocates.
  void ServiceResetRequest();
  [[nodiscard]] EngineCounters Counters() const;

  // ---- sweep signal generator ----
  // Fills the signal with the playback signal for fmin..fmax [Hz] (engine/sweep_signal.h) and
  // times the analysis' points for it; returns its length [samples], 0 for a refused range
  // (then the signal is silence). Precondition: no sweep plays (the play thread reads the
  // signal while the sweep flag is set).
  [[nodiscard]] int GenerateSweep(double fmin, double fmax);
  // The generated signal and the sync burst it starts with.
  std::span<const int16_t> Sweep() const { return {m_sweep, static_cast<size_t>(m_sweepLength)}; }
  // The generated signal to shape before it plays (the sweep heard through an equaliser);
  // same precondition as GenerateSweep.
  std::span<int16_t> SweepToShape() { return {m_sweep, static_cast<size_t>(m_sweepLength)}; }
  std::span<const int16_t> SyncBurst() const { return {m_syncBurst, kBurstLength}; }

  // ---- capture analysis ----
  // Analysing thread (capture thread, or play thread in a replay), for every frame; never
  // blocks or allocates.
  void PushFrame(int32_t left, int32_t right);
  // Points are taken at the instants a sweep from fmin [Hz] passes them (point_timing.h).
  // GenerateSweep sets this for its own range; a replay sets it for the range it replays with.
  // Called before the analysis starts (before the sweep or file flag is set).
  void SetPointTiming(double fmin) { m_analysis.SetPointTiming(fmin); }
  // A replay's sample, as the file holds it: the analysis takes the frame (s * 65535, s * 65535),
  // with the sample's clipping noted, and the record track keeps s itself, so the recording of
  // a replay is the file's samples. Analysing thread (the play thread); never blocks.
  void PushReplaySample(int16_t sample);
  // Analyses samples as a replay does (point timing for fmin [Hz], reset, PushReplaySample for
  // each), but at full speed on the calling thread, without an output.
  void ReplayAtFullSpeed(const int16_t* samples, int count, double fmin);
  // The level meter's peaks (a halving lost to the capture thread's raise changes one reading).
  void HalvePeaks() {
    m_peakLeft.store(m_peakLeft.load(std::memory_order_relaxed) / 2, std::memory_order_relaxed);
    m_peakRight.store(m_peakRight.load(std::memory_order_relaxed) / 2, std::memory_order_relaxed);
  }
  void ClearPeaks() {
    m_peakLeft.store(0, std::memory_order_relaxed);
    m_peakRight.store(0, std::memory_order_relaxed);
  }

  // ---- record track (record_track.cpp) ----
  // The finished recording: the first min(captured count, track size) entries of the track,
  // once RotateRecordTrack has moved it to the start. No analysing thread writes meanwhile.
  [[nodiscard]] std::span<const int16_t> Recording() const {
    const int32_t count =
        std::clamp(m_capturedCount.load(std::memory_order_acquire), 0, kRecordSize);
    return {m_record, static_cast<size_t>(count)};
  }
  // The whole recording so far becomes the finished capture, as at a curve's completion.
  void TakeRecordingAsCapture() {
    m_capturedCount.store(m_recordCount.load(std::memory_order_acquire), std::memory_order_release);
  }
  // The channel measured and the timing reference's channel (kNone: no reference track is
  // written). Before a capture starts; the analysing thread takes them for the next frame.
  void SetInputChannels(InputChannel channel, ReferenceChannel reference) {
    m_inputChannel.store(static_cast<int32_t>(channel), std::memory_order_relaxed);
    m_referenceChannel.store(static_cast<int32_t>(reference), std::memory_order_relaxed);
  }
  [[nodiscard]] InputChannel MeasuredChannel() const {
    return static_cast<InputChannel>(m_inputChannel.load(std::memory_order_relaxed));
  }
  [[nodiscard]] ReferenceChannel TimingReference() const {
    return static_cast<ReferenceChannel>(m_referenceChannel.load(std::memory_order_relaxed));
  }
  // The timing reference's samples beside Recording(), entry for entry; empty without a
  // reference.
  [[nodiscard]] std::span<const int16_t> ReferenceRecording() const {
    if (TimingReference() == ReferenceChannel::kNone) return {};
    return {m_referenceTrack.get(), Recording().size()};
  }
  // Moves the finished recording to the start of the track, also one that runs over its end:
  // entry i takes entry (m_recordStart + i) mod the track size, for i < the captured count.
  // Once the analysing thread has stopped; a saved capture file is written from index 0.
  void RotateRecordTrack();
  // The last `count` samples recorded since the reset (fewer when fewer were), oldest first,
  // into out; returns their number. Once the analysing thread has stopped.
  int CopyLatestRecording(int16_t* out, int count) const;

  // ---- where the played signal lies in the recording (played_signal.cpp) ----
  // The index in the finished recording of the played signal's first sample (the half second
  // of silence before the sync burst); negative when it played before the recording's first
  // kept sample. The time from it to the microphone's response holds the devices' latency.
  // Empty when no sweep has played since the reset, for a replay, and before the sync.
  [[nodiscard]] std::optional<int64_t> PlayedSignalStart() const;

  // ---- device lists and the chosen devices (device_enumeration.cpp) ----
  // The capture endpoints (at most 32, counted in *count and InputCount) and the output devices
  // (the default last, counted in the result and OutputCount), before any capture or playback.
  [[nodiscard]] int32_t EnumerateInputDevices(int* count);
  [[nodiscard]] int EnumerateOutputDevices();
  int InputCount() const { return m_inputCount; }
  int OutputCount() const { return m_outputCount; }
  // Entry i of a list (empty outside it), and the whole lists.
  const char* InputName(int i) const { return i >= 0 && i < kMaxDevices ? m_inputNames[i] : ""; }
  const char* OutputName(int i) const { return i >= 0 && i < kMaxDevices ? m_outputNames[i] : ""; }
  std::vector<std::string> InputNames() const {
    return {m_inputNames, m_inputNames + m_inputCount};
  }
  std::vector<std::string> OutputNames() const {
    return {m_outputNames, m_outputNames + m_outputCount};
  }
  // The input chosen in the main window (its list entry and name) and the output's name: the
  // names the messages and the preferences use, cut at 520 bytes.
  void ChooseInput(int index, const char* name) {
    m_inputIndex = index;
    CopyDeviceName(m_inputName, name, 520);
  }
  void ChooseOutput(const char* name) { CopyDeviceName(m_outputName, name, 520); }
  int ChosenInput() const { return m_inputIndex; }
  const char* ChosenInputName() const { return m_inputName; }
  const char* ChosenOutputName() const { return m_outputName; }

  // ---- capture stream ----
  [[nodiscard]] int32_t OpenInputDevice(int index);
  // Starts the capture thread and waits 100 ms for its first result.
  [[nodiscard]] int32_t StartCapture();
  // Clears the run flag and joins the capture thread (bounded: it looks at the flag at least
  // every 10 ms), then stops and releases the stream. May block about a second at most.
  void StopCapture();
  void ReleaseCapture() { StopCapture(); }  // which ends a capture thread only if one exists
  // The capture thread runs: it clears this itself when it ends, on a stop or a failure.
  bool IsCaptureThreadRunning() const { return m_hCaptureThread.load() != 0; }
  // The linear gain applied to captured samples (1.0: none). Any time; the capture thread
  // takes it for the next frame.
  void SetInputGain(double factor) { m_inputGain.store(factor, std::memory_order_relaxed); }
  double InputGain() const { return m_inputGain.load(std::memory_order_relaxed); }
  // The capture thread: every frame of every packet to PushFrame until m_capturing is cleared
  // or the stream fails, waiting at most 10 ms for the services' signal between packets; a frame
  // that meets the clamp marks its block clipped. No lock, allocation or blocking call but its
  // bounded waits. Returns the stream's last result.
  int32_t CaptureThreadProc();
  // The text of a capture result, "0x%X : NAME\n", in m_errorText.
  const char* GetErrorText(int32_t code);

  // ---- playback stream ----
  [[nodiscard]] int32_t OpenOutputDevice(int deviceId);
  // A measurement's or a replay's opening of output deviceId (-1: the default), whose name is
  // chosen (cleared on a failure): the output is taken as closed before and opened after, and
  // gives back anything it still holds. The device's result code.
  [[nodiscard]] int32_t OpenNamedOutput(int deviceId, const char* name);
  // Resets the output, unprepares every buffer (retrying every 10 ms, at most a second) and
  // closes the device. User-interface thread, or the timer thread through the deferred stop;
  // a second call while one runs returns at once. Blocks for the bounded hand-shakes.
  // 1 on success.
  int CloseOutputDevice();
  bool IsOutputOpen() const { return m_hWaveOut.load(std::memory_order_acquire) != 0; }
  [[nodiscard]] int StartPlayThread();
  bool IsPlayThreadRunning() const { return m_hPlayThread.load(std::memory_order_acquire) != 0; }
  // Hold the open output (queued buffers wait, nothing plays) and let it play again; the
  // started notice sets m_outputStarted once it really plays. Output result codes.
  [[nodiscard]] int32_t PauseOutputDevice();
  [[nodiscard]] int32_t RestartOutputDevice();
  // Asks the play thread to stop and joins it (it looks at m_stopPlay at least every 50 ms),
  // then closes the output. User-interface thread or the timer thread; when another thread is
  // already stopping it, waits (bounded) until it has. Blocks about a second at most.
  void StopPlayThread();
  // What the play thread plays and the analysis analyses: the sweep, or the loaded samples
  // (from their start). Without either the output plays silence and frames are not analysed.
  void SetSweepPlaying(bool on) { m_sweepPlaying.store(on ? 1 : 0, std::memory_order_release); }
  void SetFilePlaying(bool on) {
    if (on) m_filePlayPos.store(0, std::memory_order_release);
    m_filePlaying.store(on ? 1 : 0, std::memory_order_release);
  }
  bool IsSweepPlaying() const { return m_sweepPlaying.load(std::memory_order_acquire) != 0; }
  bool IsFilePlaying() const { return m_filePlaying.load(std::memory_order_acquire) != 0; }
  // The play thread: keeps the 128 buffers queued from the active source (sweep, loaded file
  // or silence) and schedules the deferred stop when it ends. Its watchdog (playback_stream.h)
  // judges a stall; a stall during a sweep ends the thread (the measurement fails,
  // m_outputStalled), otherwise the queue is rebuilt. Its only blocking call is the bounded
  // wait for a played buffer. Returns its exit code.
  int32_t PlayThreadProc();
  // Play thread: the next 128 frames of the sweep (silence while no sweep plays) into buffer
  // `index`, queued. Never blocks or allocates. 0 when the device refused it.
  [[nodiscard]] int FillSweepBuffer(int index);
  // Play thread: the next 128 samples of the loaded file into buffer `index`, each also handed
  // to the analysis (PushReplaySample); at the end of the samples the replay ends (the
  // end-of-replay hook) and silence follows. Never blocks or allocates. 0 when there is nothing
  // to play or the device refused the buffer.
  [[nodiscard]] int FillFileBuffer(int index);
  // The deferred playback stop: clears the sweep flag, stops the play thread and closes the
  // output. One-shot timer thread (20 ms after ScheduleStopPlayback, 100 ms after the play
  // thread ends), or the destructor; a second call while one runs returns at once. Blocks for
  // the bounded hand-shakes of StopPlayThread and CloseOutputDevice.
  void StopPlaybackTimerProc();
  // The output's volume: the endpoint's (0..1), or, where that cannot be set, the scale of the
  // output samples (65535 = full).
  [[nodiscard]] int SetEndpointVolume(float level);
  [[nodiscard]] int GetEndpointVolume(float* level);
  void SetPlayVolume(int32_t scale) { m_playVolume.store(scale, std::memory_order_relaxed); }
  int32_t PlayVolume() const { return m_playVolume.load(std::memory_order_relaxed); }
  // The output's notification routine: opened, closed, buffer-done, started and underflow
  // notices. Output's notification thread; never blocks.
  void WaveOutProc(OutputNotice notice);
  static void WaveOutRoutine(void* context, OutputNotice notice) {
    static_cast<CAudio*>(context)->WaveOutProc(notice);
  }

  // ---- loaded samples ----
  // Takes a loaded file's samples (count mono samples at 48000 Hz); earlier ones are freed.
  // While no play thread runs.
  void LoadSamples(LoadedSamples samples, int32_t count) {
    m_fileSamples = std::move(samples);
    m_fileSampleCount.store(m_fileSamples != nullptr ? count : 0, std::memory_order_release);
    // freed after a replay, the file's reference stays for its save
    if (m_fileSamples != nullptr) m_loadedReference.clear();
  }
  // The timing reference of a loaded two-channel capture (its second channel), after
  // LoadSamples; empty for a mono capture.
  void LoadReferenceSamples(std::vector<int16_t> reference) {
    m_loadedReference = std::move(reference);
  }
  [[nodiscard]] std::span<const int16_t> LoadedReference() const { return m_loadedReference; }
  // The timing reference of the finished recording: the live reference track, or a replayed
  // file's own; empty when it has none.
  [[nodiscard]] std::span<const int16_t> RecordingReference() const {
    if (TimingReference() != ReferenceChannel::kNone) return ReferenceRecording();
    if (m_loadedReference.size() == Recording().size()) return m_loadedReference;
    return {};
  }
  // Frees them, once no play thread reads them any more.
  void ReleaseSamples() { LoadSamples(nullptr, 0); }
  // The loaded samples a replay has not ended yet (empty after its end; data() null once they
  // are freed).
  [[nodiscard]] std::span<const int16_t> Loaded() const {
    return {m_fileSamples.get(), m_fileSamples ? static_cast<size_t>(m_fileSampleCount.load()) : 0};
  }

  // ---- device threads and hand-offs ----
  // Schedules StopPlaybackTimerProc once, delayMs from now, on the stop timer's own thread.
  // Any thread; never blocks or allocates. False when the timer is not running.
  bool ScheduleStopPlayback(int delayMs) { return m_stopTimer.Schedule(delayMs); }
  // Waits (bounded by timeoutMs) until no scheduled or running playback stop remains, no play
  // thread exists and the output is closed. True when that is so.
  [[nodiscard]] bool WaitPlaybackStopped(int timeoutMs);
  // The end of a sweep: clears the sweep flag and schedules the playback stop (20 ms) when an
  // output or a play thread is left. False when no sweep was playing.
  bool EndSweepPlayback();
  // The end of a replay's samples, reached by FillFileBuffer on the play thread: the routine
  // set here (the measurement sequence's EndReplay) or, without one, EndReplayPlayback.
  // Set while no play thread runs; clearing takes back only the hook of `context`.
  void SetEndReplayHook(void (*hook)(void* context), void* context);
  void ClearEndReplayHook(void* context);
  // The engine's part of the end of a replay: clears m_fileSampleCount and m_filePlaying and
  // schedules the playback stop (20 ms). Returns false when no replay was playing. Play thread
  // (or the user-interface thread stopping a replay); never blocks or allocates (the samples
  // are freed later by the user-interface thread).
  bool EndReplayPlayback();
  // Device threads (capture, play) whose thread objects still exist.
  [[nodiscard]] int DeviceThreadCount() const {
    return (m_captureThread.joinable() ? 1 : 0) + (m_playThread.joinable() ? 1 : 0);
  }

 private:
  friend struct CAudioProbe;  // the analysis' and the devices' inner state, for their tests

  // PushFrame with the record sample given.
  void PushFrameRecording(int32_t left, int32_t right, int16_t recordSample);
  // PushFrameRecording without the level meter.
  void PushMeasuredFrame(int32_t left, int32_t right, int16_t recordSample);
  // A block of a running sweep or replay is complete: its analysis, then what it found for the
  // record track (the sync: the recording kept from before the burst) and the listener (the
  // curve's end, once the recording's length is in place). Analysing thread; never blocks.
  void EndBlock();
  void KeepRecordingFromSync();
  // The end of a replay's samples: a curve completed on the way keeps every sample as its
  // recording, those after its completion too. On the thread that replayed them.
  void TakeReplayAsCapture();
  void ClearAnalysisState();  // the reset steps proper, on whichever thread owns the analysis
  // The counters, record track and peaks a new capture starts from: the first part of the
  // reset, and what the capture thread clears when it starts. On the thread that owns the
  // analysis.
  void ClearCaptureCounters();
  void EndCaptureThread();

  // Play thread: the steps of PlayThreadProc.
  bool PrepareQueue();
  // Refills buffer i from the active source; false when the device refused it. Neither
  // source: nothing is queued (*queued false) and the analysis side is held idle.
  bool RefillBuffer(int i, bool* queued);
  void PrefillQueue();
  bool KeepQueueFull(COutputWatchdog& watchdog);  // true when it ends on a stall
  // Play thread: the end of both fill routines (end-of-loop mark, queue, reset on a refusal).
  int QueueFilledBuffer(PlayHeader& header, const std::atomic<int32_t>& sourcePlaying);
  void ShutDownDevices();
  // Capture thread, with no packet waiting: ties the output's position to the count of frames
  // taken. Play thread, as a buffer takes the signal's first sample `frame` frames into it:
  // the output's frame at which it will play. Neither blocks or allocates.
  void NoteCaptureLead();
  void NoteSignalStart(int frame);
  static void StopTimerRoutine(void* context) {
    static_cast<CAudio*>(context)->StopPlaybackTimerProc();
  }

  IAudioServices* m_services;

  // Fields, in the order of the engine's state table; every one starts at zero unless its
  // initialiser says otherwise. The cross-thread ones are mapped above.

  // ---- platform objects (the audio services stand in for the endpoint API) ----
  int32_t m_captureOpen = 0;  // an input endpoint is open through the services
  uint32_t m_bufferFrames = 0;
  int64_t m_bufferDuration = 0;  // [microseconds]
  PlayFormat m_playFormat{};
  PlayHeader m_playHeaders[kPlayBufferCount]{};
  std::atomic<int32_t> m_hWaveOut{0};  // output stream open (nonzero), 0 when closed
  char m_errorText[2048] = {};
  int32_t m_inputCount = 0;
  int32_t m_inputIndex = -1;
  int32_t m_outputCount = 0;
  int32_t m_sampleRate = kSampleRate;
  int32_t m_openDeviceId = 0;
  int32_t m_captureRate = 0;
  std::atomic<int32_t> m_sweepPos{0};
  int32_t m_sweepLength = 0;
  std::atomic<int32_t> m_playVolume{65535};  // output sample scale, 65535 = full
  int32_t m_noiseCount = 0;
  std::atomic<int32_t> m_capturedCount{0};
  std::atomic<int32_t> m_recordCount{0};
  int32_t m_recordWrite = 0;
  std::atomic<int32_t> m_recordStart{0};
  char m_playData[kPlayBufferCount][kPlayBufferBytes] = {};
  int16_t m_sweep[kSweepCapacity] = {};
  int16_t m_record[kRecordSize] = {};
  // The timing reference's track, beside m_record; allocated with the engine.
  std::unique_ptr<int16_t[]> m_referenceTrack{new int16_t[kRecordSize]()};
  std::atomic<int32_t> m_inputChannel{0};      // InputChannel; W: UI  R: analysing thread
  std::atomic<int32_t> m_referenceChannel{0};  // ReferenceChannel; W: UI  R: analysing thread
  int16_t m_syncBurst[kBurstLength] = {};
  char m_inputNames[kMaxDevices][kDeviceNameBytes] = {};
  char m_outputNames[kMaxDevices][kDeviceNameBytes] = {};
  char m_inputName[1024] = {};
  char m_outputName[1024] = {};
  std::atomic<double> m_inputGain{1.0};
  std::atomic<int32_t> m_filePlaying{0};
  LoadedSamples m_fileSamples;
  std::vector<int16_t> m_loadedReference;  // UI thread only
  std::atomic<int32_t> m_fileSampleCount{0};
  std::atomic<int32_t> m_filePlayPos{0};
  std::atomic<int32_t> m_hPlayThread{0};     // a play thread exists
  std::atomic<int32_t> m_hCaptureThread{0};  // a capture thread exists; it clears this itself
  std::atomic<int32_t> m_peakLeft{0};
  std::atomic<int32_t> m_peakRight{0};
  int32_t m_nextHeader = 0;  // play thread: the next buffer to refill
  // Play thread: buffers queued since the (re)start; one never queued is free to fill, so the
  // sweep starts as soon as its flag is set.
  bool m_queuedOnce[kPlayBufferCount] = {};
  std::atomic<int32_t> m_captureResult{0};
  // Where the played signal lies in the capture's count of frames (PlayedSignalStart).
  static constexpr int64_t kNoLead = INT64_MIN;
  std::atomic<int64_t> m_intakeCount{0};         // frames the analysis has taken since the reset
  std::atomic<int64_t> m_recordStartIntake{-1};  // that count at the recording's first sample
  // The most that the count of frames taken has been ahead of the output's position: the
  // offset between what plays and what is recorded at that moment, once the capture side has
  // caught up with the device at least once.
  std::atomic<int64_t> m_captureLead{kNoLead};
  uint64_t m_lastOutputPosition = 0;
  std::atomic<int64_t> m_signalStartFrame{-1};  // the output's frame of the signal's first sample
  int64_t m_framesQueued = 0;                   // through the output since the play thread began
  bool m_signalStartNoted = false;              // for the sweep that plays now
  // The analysis of the frames: rings, blocks, detector, point timing and counters. The
  // engine's own, so that another engine (a new analysis) never disturbs a running capture's
  // detector.
  CCaptureAnalysis m_analysis;

  // ---- flags shared between threads ----
  std::atomic<int32_t> m_capturing{0};        // capture thread run flag
  std::atomic<int32_t> m_sweepPlaying{0};     // the sweep is played and analysed
  std::atomic<int32_t> m_stopPlay{0};         // stop request to the play thread
  std::atomic<int32_t> m_stopBusy{0};         // guard of StopPlaybackTimerProc
  std::atomic<int32_t> m_waveOutOpened{0};    // set by the open notice, cleared by the close notice
  std::atomic<int32_t> m_playThreadAlive{0};  // set by the play thread while it runs
  std::atomic<int32_t> m_closingOutput{0};    // guard of CloseOutputDevice
  std::atomic<int32_t> m_resetRequested{0};   // ResetAnalysis handed to the running capture thread
  std::atomic<int32_t> m_outputStarted{0};    // the output plays (started, no underflow since)
  std::atomic<int32_t> m_outputUnderflows{0};  // underflows since the output was opened
  std::atomic<int32_t> m_outputStalled{0};     // the play thread ended a sweep on a stall
  std::atomic<int32_t> m_outputFailure{0};     // the code of a buffer the output refused

  // ---- device objects ----
  CaptureFormat m_captureFormat{};      // the capture stream format after the rewrite
  int32_t m_captureEndpointCount = -1;  // endpoints of the last listing; -1: not listed
  std::thread m_captureThread;          // joined by StopCapture (never killed)
  std::thread m_playThread;             // joined by StopPlayThread (never killed)
  CAutoResetEvent m_playEvent;          // a buffer has played (or the play thread must stop)
  COneShotTimer m_stopTimer{&CAudio::StopTimerRoutine, this};  // runs StopPlaybackTimerProc
  void (*m_endReplayHook)(void* context) = nullptr;
  void* m_endReplayContext = nullptr;

  // Stops the stop timer, the play thread and the output when the engine goes away; keep it
  // the last member, so everything it touches still exists when it runs.
  struct CDeviceShutdown {
    CAudio* owner;
    ~CDeviceShutdown() { owner->ShutDownDevices(); }
  } m_deviceShutdown{this};
};

}  // namespace quorvel

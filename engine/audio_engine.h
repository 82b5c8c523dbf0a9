#pragma once

#include <atomic>
#include <cstdint>
#include <semaphore>
#include <thread>

#include "audio/audio_services.h"
#include "audio/one_shot_timer.h"

class ICurveListener;

// Capability record of one output device; only the short product name is used.
struct OutputCaps {
  char name[32] = {};
};

// CAudio: the audio engine. One object owns every buffer, counter and flag of a measurement
// (about 13.8 MB): it is always created on the heap, never on the stack. Nothing is allocated
// while audio runs; the only heap block it owns is a loaded file's samples.
//
// Its member functions live in the files of their job: engine/engine_state.cpp (construction,
// ResetAnalysis), engine/sweep_generator.cpp, engine/capture_analysis.cpp, and the audio/
// folder for the device operations (enumeration, capture stream, playback stream).
class CAudio {
 public:
  static constexpr int kSampleRate = 48000;
  static constexpr int kRingSize = 8192;  // input rings, mask 0x1fff
  static constexpr int kRingMask = 0x1fff;
  static constexpr int kRecordSize = 4194304;  // record track, mask 0x3fffff
  static constexpr int kRecordMask = 0x3fffff;
  static constexpr int kSweepCapacity = 1280000;
  static constexpr int kSineTableSize = 12001;
  static constexpr int kBurstLength = 24000;
  static constexpr int kBlockLength = 960;  // one analysis block: 20 ms at 48000 Hz
  static constexpr int kPlayBufferCount = 128;
  static constexpr int kPlayBufferBytes = 512;  // 128 frames of two 16-bit samples
  static constexpr int kMaxDevices = 32;
  static constexpr int kDeviceNameBytes = 512;

  // services: the platform audio services (null: no device, analysis only).
  // listener: receives the curve points (null: points are dropped).
  explicit CAudio(IAudioServices* services = nullptr, ICurveListener* listener = nullptr);
  virtual ~CAudio();
  CAudio(const CAudio&) = delete;
  CAudio& operator=(const CAudio&) = delete;

  void SetCurveListener(ICurveListener* listener) { m_listener = listener; }
  IAudioServices* Services() const { return m_services; }

  // ---- engine state ----
  // Called on the user-interface thread before a measurement or a replay. While a capture
  // thread runs, the reset is handed to it (see ServiceResetRequest) and this waits for it,
  // 1 ms at a time, at most about one second; otherwise the reset is done here.
  void ResetAnalysis();
  // Called on the capture thread once per poll iteration: performs a reset that ResetAnalysis
  // has handed over, then clears m_resetRequested. Never blocks or allocates.
  void ServiceResetRequest();

  // ---- sweep signal generator ----
  int GenerateSweep(double fmin, double fmax);
  void GenerateSyncBurst();

  // ---- capture analysis ----
  // Called on the analysing thread (capture thread, or play thread in a replay) for every
  // frame; never blocks or allocates.
  void PushFrame(int32_t left, int32_t right);

  // ---- device enumeration ----
  int32_t EnumerateInputDevices(int* count);
  int EnumerateOutputDevices();

  // ---- capture stream ----
  int32_t OpenInputDevice(int index);
  int32_t StartCapture();
  void StopCapture();
  void ReleaseCapture();
  int32_t CaptureThreadProc();
  const char* GetErrorText(int32_t code);

  // ---- playback stream ----
  int32_t OpenOutputDevice(int deviceId);
  int CloseOutputDevice();
  int StartPlayThread();
  void StopPlayThread();
  int32_t PlayThreadProc();
  int FillSweepBuffer(int index);
  int FillFileBuffer(int index);
  void StopPlaybackTimerProc();
  int SetEndpointVolume(float level);
  int GetEndpointVolume(float* level);
  // The output's notification routine: opened, closed and buffer-done notices. Called on the
  // output's notification thread; never blocks.
  void WaveOutProc(OutputNotice notice);
  static void WaveOutRoutine(void* context, OutputNotice notice);

  // ---- device threads and hand-offs (audio/) ----
  // Schedules StopPlaybackTimerProc once, delayMs from now, on the stop timer's own thread.
  // Any thread; never blocks or allocates. False when the timer is not running.
  bool ScheduleStopPlayback(int delayMs);
  // Waits (user-interface thread, bounded by timeoutMs) until no scheduled or running playback
  // stop remains, no play thread exists and the output is closed.
  bool WaitPlaybackStopped(int timeoutMs);
  // The end of a replay's samples, reached by FillFileBuffer on the play thread: the routine
  // set here (the measurement sequence's EndReplay) or, without one, EndReplayPlayback.
  // Set on the user-interface thread while no play thread runs.
  void SetEndReplayHook(void (*hook)(void* context), void* context);
  // The engine's part of the end of a replay: clears m_fileSampleCount and m_filePlaying and
  // schedules the playback stop (20 ms). Returns false when no replay was playing. Play thread;
  // never blocks or allocates (the samples are freed later by the user-interface thread).
  bool EndReplayPlayback();
  // Device threads (capture, play) whose thread objects still exist. User-interface thread.
  int DeviceThreadCount() const;

 private:
  void ProcessBlock();
  int DetectSync(double x);
  double BandFilter(int k, double x);
  void ClearAnalysisState();  // the reset steps proper, on whichever thread owns the analysis
  // The counters, record track and peaks a new capture starts from: the first part of the
  // reset, and what the capture thread clears when it starts. On the thread that owns the
  // analysis.
  void ClearCaptureCounters();

  IAudioServices* m_services;
  ICurveListener* m_listener;

 public:
  // Fields, in the order of the engine's state table. The main window (and the measurement
  // sequence) reads and writes several of them directly.

  // ---- platform objects (the audio services stand in for the endpoint API) ----
  int32_t m_captureOpen;  // an input endpoint is open through the services
  uint32_t m_bufferFrames;
  int64_t m_bufferDuration;  // [microseconds]
  PlayFormat m_playFormat;
  PlayHeader m_playHeaders[kPlayBufferCount];
  std::atomic<int32_t> m_hWaveOut;  // output stream open (nonzero), 0 when closed
  char m_errorText[2048];
  int32_t m_inputCount;
  int32_t m_inputIndex;
  int32_t m_outputCount;
  int32_t m_outputDeviceId;
  int32_t m_sampleRate;
  int32_t m_openDeviceId;
  int32_t m_playChannels;
  int32_t m_playBits;
  int32_t m_playRate;
  int32_t m_captureRate;
  std::atomic<int32_t> m_sweepPos;
  int32_t m_sweepLength;
  int32_t m_playVolume;
  int32_t m_noiseCount;
  std::atomic<int32_t> m_capturedCount;
  std::atomic<int32_t> m_recordCount;
  int32_t m_recordWrite;
  std::atomic<int32_t> m_recordStart;
  char m_playData[kPlayBufferCount][kPlayBufferBytes];
  double m_sineTable[kSineTableSize];
  int16_t m_sweep[kSweepCapacity];
  int16_t m_record[kRecordSize];
  int16_t m_syncBurst[kBurstLength];
  int32_t m_ringLeft[kRingSize];
  int32_t m_ringRight[kRingSize];
  OutputCaps m_outputCaps[kMaxDevices];
  char m_inputNames[kMaxDevices][kDeviceNameBytes];
  char m_outputNames[kMaxDevices][kDeviceNameBytes];
  char m_inputName[1024];
  char m_outputName[1024];
  double m_bandEnvelope[3];
  double m_syncThreshold;
  std::atomic<double> m_inputGain;
  double m_noiseFloor;
  std::atomic<int32_t> m_filePlaying;
  int16_t* m_fileSamples;
  int32_t m_fileChannels;
  std::atomic<int32_t> m_fileSampleCount;
  int32_t m_fileRate;
  std::atomic<int32_t> m_filePlayPos;
  std::atomic<int32_t> m_hPlayThread;     // a play thread exists
  std::atomic<int32_t> m_hCaptureThread;  // a capture thread exists; it clears this itself
  std::atomic<uint32_t> m_lastWriteTime;  // [ms] clock value of the last buffer submission
  std::atomic<int32_t> m_peakLeft;
  std::atomic<int32_t> m_peakRight;
  std::atomic<int32_t> m_blockFill;
  std::atomic<int32_t> m_nextHeader;
  int32_t m_blocksSinceSync;
  std::atomic<int32_t> m_captureResult;
  int32_t m_ringWrite;
  int32_t m_ringRead;

  // ---- flags shared between threads, all in one place ----
  std::atomic<int32_t> m_capturing;        // capture thread run flag
  std::atomic<int32_t> m_sweepPlaying;     // the sweep is played and analysed
  std::atomic<int32_t> m_stopPlay;         // stop request to the play thread
  std::atomic<int32_t> m_stopBusy;         // guard of StopPlaybackTimerProc
  std::atomic<int32_t> m_waveOutOpened;    // set by the open notice, cleared by the close notice
  std::atomic<int32_t> m_playThreadAlive;  // set by the play thread while it runs
  std::atomic<int32_t> m_closingOutput;    // guard of CloseOutputDevice
  std::atomic<int32_t> m_synced;           // the sync burst has been found
  std::atomic<int32_t> m_resetRequested;   // ResetAnalysis handed to the running capture thread

  // ---- device platform objects (audio/) ----
  CaptureFormat m_captureFormat{};         // the capture stream format after the rewrite
  int32_t m_captureEndpointCount = -1;     // endpoints of the last listing; -1: not listed
  std::thread m_captureThread;             // joined by StopCapture (never killed)
  std::thread m_playThread;                // joined by StopPlayThread (never killed)
  std::binary_semaphore m_hPlayEvent{0};   // auto-reset event: a buffer has played
  std::atomic<int32_t> m_playEventSet{0};  // the event is signalled and not yet taken
  COneShotTimer m_stopTimer{&CAudio::StopTimerRoutine, this};  // runs StopPlaybackTimerProc
  void (*m_endReplayHook)(void* context) = nullptr;
  void* m_endReplayContext = nullptr;

 private:
  static void StopTimerRoutine(void* context);
  void SignalPlayEvent();
  bool WaitPlayEvent(int timeoutMs);
  void ShutDownDevices();
  // Stops the stop timer, the play thread and the output when the engine goes away; keep it
  // the last member, so everything it touches still exists when it runs.
  struct CDeviceShutdown {
    CAudio* owner;
    ~CDeviceShutdown() { owner->ShutDownDevices(); }
  } m_deviceShutdown{this};
};

// The analysis' band filters: 3 filters x 4 second-order sections x (a1, a2, b0, b1, b2),
// and their delay values (w1, w2).
extern const double g_bandCoefficients[3][4][5];
extern double g_filterState[3][4][2];

// CAudio's playback stream: the output device, the play thread that keeps 128 buffers queued
// (the sweep, or a loaded file that it also feeds to the analysis), the stall watchdog and the
// deferred stop.
#include "engine/playback_stream.h"

#include <chrono>
#include <cstring>
#include <system_error>

#include "audio/audio_services.h"
#include "audio/thread_priority.h"
#include "engine/audio_engine.h"

namespace quorvel {

namespace {

void SleepMs(int ms) {
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

// Unprepare retries while the device still holds a buffer: every 10 ms, at most this often.
constexpr int kUnprepareRetries = 100;

// Play thread exit codes.
constexpr int32_t kPlayEndedNormally = 0;
constexpr int32_t kPlayPrepareFailed = 1;

// m_hPlayThread: no thread, a running thread, a thread being stopped by StopPlayThread.
constexpr int32_t kPlayThreadNone = 0;
constexpr int32_t kPlayThreadRunning = 1;
constexpr int32_t kPlayThreadStopping = 2;

int32_t PutSample(char* frame, int16_t sample) {
  // Both channels carry the same sample, little-endian.
  const auto bits = static_cast<uint16_t>(sample);
  frame[0] = static_cast<char>(bits & 0xFFu);
  frame[1] = static_cast<char>(bits >> 8);
  frame[2] = frame[0];
  frame[3] = frame[1];
  return 4;
}

}  // namespace

// ---- output device (user-interface thread unless stated) ----

int32_t CAudio::OpenOutputDevice(int deviceId) {
  const int rate = m_captureRate != 0 ? m_captureRate : m_sampleRate;
  if (deviceId < 0) deviceId = -1;

  // A play thread still running would write into the buffers being released: stop it first
  // (which closes the output); then close an output that is still open.
  if (m_hPlayThread.load(std::memory_order_acquire) != kPlayThreadNone) StopPlayThread();
  if (m_hWaveOut.load(std::memory_order_acquire) != 0) CloseOutputDevice();
  if (m_services == nullptr) return kMmErrNoDriver;
  // Without its thread the deferred stop cannot be scheduled; the play thread's end and the
  // engine's end still stop the output.
  static_cast<void>(m_stopTimer.Start());

  m_playFormat.formatTag = kFormatPcm;
  m_playFormat.channels = 2;
  m_playFormat.samplesPerSec = static_cast<uint32_t>(rate);
  m_playFormat.avgBytesPerSec = static_cast<uint32_t>(rate) * 4u;
  m_playFormat.blockAlign = 4;
  m_playFormat.bitsPerSample = 16;
  m_playFormat.extraSize = 18;
  m_openDeviceId = deviceId;
  // A new output has not started, underflowed, stalled or refused anything yet (no notice of
  // an older one comes any more: its close waited for them).
  m_outputStarted.store(0, std::memory_order_release);
  m_outputUnderflows.store(0, std::memory_order_release);
  m_outputStalled.store(0, std::memory_order_release);
  m_outputFailure.store(0, std::memory_order_release);

  const int32_t code =
      m_services->OpenOutput(deviceId, m_playFormat, &CAudio::WaveOutRoutine, this);
  if (code != kMmNoError) {
    m_hWaveOut.store(0, std::memory_order_release);
    return code;
  }
  m_hWaveOut.store(1, std::memory_order_release);
  return kMmNoError;
}

// The output's notification thread; never blocks.
void CAudio::WaveOutProc(OutputNotice notice) {
  switch (notice) {
    case OutputNotice::kOpened:
      m_waveOutOpened.store(1, std::memory_order_release);
      break;
    case OutputNotice::kClosed:
      m_waveOutOpened.store(0, std::memory_order_release);
      break;
    case OutputNotice::kBufferDone:
      m_playEvent.Signal();
      break;
    case OutputNotice::kStarted:
      m_outputStarted.store(1, std::memory_order_release);
      break;
    case OutputNotice::kUnderflow:
      m_outputStarted.store(0, std::memory_order_release);
      m_outputUnderflows.fetch_add(1, std::memory_order_acq_rel);
      break;
  }
}

int32_t CAudio::PauseOutputDevice() {
  if (m_hWaveOut.load(std::memory_order_acquire) == 0 || m_services == nullptr) {
    return kMmErrInvalHandle;
  }
  return m_services->PauseOutput();
}

int32_t CAudio::RestartOutputDevice() {
  if (m_hWaveOut.load(std::memory_order_acquire) == 0 || m_services == nullptr) {
    return kMmErrInvalHandle;
  }
  return m_services->RestartOutput();
}

int32_t CAudio::OpenNamedOutput(int deviceId, const char* name) {
  m_waveOutOpened.store(0, std::memory_order_release);
  ChooseOutput(name);
  const int32_t code = OpenOutputDevice(deviceId);
  if (code != kMmNoError) {
    m_outputName[0] = '\0';
    return code;
  }
  if (m_services != nullptr) static_cast<void>(m_services->ResetOutput());
  m_waveOutOpened.store(1, std::memory_order_release);
  return kMmNoError;
}

// StopPlaybackTimerProc (timer thread), StopPlayThread, OpenOutputDevice, the destructor.
int CAudio::CloseOutputDevice() {
  if (m_closingOutput.exchange(1, std::memory_order_acq_rel) != 0) return 1;
  int result = 1;
  if (m_hWaveOut.load(std::memory_order_acquire) != 0 && m_services != nullptr) {
    if (m_services->ResetOutput() != kMmNoError) static_cast<void>(m_services->ResetOutput());
    for (PlayHeader& header : m_playHeaders) {
      if (header.data == nullptr) continue;
      // A device that keeps a buffer for a whole second is not waited for any longer.
      for (int retry = 0; retry < kUnprepareRetries; ++retry) {
        if (m_services->UnprepareHeader(&header) != kWaveErrStillPlaying) break;
        SleepMs(10);
      }
      header.data = nullptr;
      header.length = 0;
      header.flags.store(0, std::memory_order_release);
    }
    // The device is closed at least once: an output that has lost its device (a removed sink,
    // a server gone) announces itself closed before anyone closes it, and would otherwise keep
    // its handle, so that the next open is refused as still allocated.
    int32_t code = kMmNoError;
    bool closeAsked = false;
    for (int i = 0; i < 100; ++i) {
      SleepMs(10);
      if (closeAsked && m_waveOutOpened.load(std::memory_order_acquire) == 0) break;
      code = m_services->CloseOutput();
      closeAsked = true;
    }
    if (code == kMmErrInvalHandle || code == kMmErrNoDriver || code == kMmErrNoMem ||
        code == kWaveErrStillPlaying) {
      result = 0;
    }
  }
  m_hWaveOut.store(0, std::memory_order_release);
  m_closingOutput.store(0, std::memory_order_release);
  return result;
}

// ---- play thread ----

int CAudio::StartPlayThread() {
  if (m_hWaveOut.load(std::memory_order_acquire) == 0) return 0;
  if (m_hPlayThread.load(std::memory_order_acquire) != kPlayThreadNone) return 1;
  // A thread object of a play thread that ended by itself is collected first.
  if (m_playThread.joinable()) m_playThread.join();

  std::memset(m_playData, 0, sizeof(m_playData));
  m_stopPlay.store(0, std::memory_order_release);
  m_playEvent.Clear();  // the event starts unsignalled
  try {
    m_playThread = std::thread([this]() { PlayThreadProc(); });
  } catch (const std::system_error&) {
    return 0;
  }
  m_hPlayThread.store(kPlayThreadRunning, std::memory_order_release);
  return 1;
}

// The play thread. Keeps the 128 buffers queued; waits for a played buffer at most 50 ms and
// looks at m_stopPlay after every wait, so it always ends by itself. No lock or allocation;
// the bounded wait for the buffer-done event is its only blocking call.
int32_t CAudio::PlayThreadProc() {
  RaiseCurrentThreadPriority(AudioThreadRole::kPlay);
  NameCurrentThread("quorvel-play");
  std::memset(m_playData, 0, sizeof(m_playData));
  m_playThreadAlive.store(1, std::memory_order_release);

  int32_t exitCode = kPlayEndedNormally;
  m_framesQueued = 0;
  m_signalStartNoted = false;
  COutputWatchdog watchdog;
  bool stalled = false;
  for (;;) {
    // (Re)start: after a stall the device first gives back every buffer it still holds, so
    // none is queued twice.
    if (stalled) {
      static_cast<void>(m_services->ResetOutput());
      // What the device gave back never played: the next buffer plays where it stands.
      uint64_t position = 0;
      if (m_services->GetOutputPosition(&position)) m_framesQueued = static_cast<int64_t>(position);
    }
    watchdog.Reset();
    if (!PrepareQueue()) {
      exitCode = kPlayPrepareFailed;
      break;
    }
    PrefillQueue();
    if (m_stopPlay.load(std::memory_order_acquire) != 0) break;
    stalled = KeepQueueFull(watchdog);
    if (!stalled) break;
    if (m_sweepPlaying.load(std::memory_order_acquire) != 0) {
      // A sweep never resumes from an advanced position: what the detector and the analysis
      // have seen no longer matches what plays. The measurement ends with the output's failure.
      m_outputStalled.store(1, std::memory_order_release);
      m_stopPlay.store(1, std::memory_order_release);
      break;
    }
    // Silence, or a replay (whose analysis follows what is queued): rebuild the queue.
  }

  m_playThreadAlive.store(0, std::memory_order_release);
  ScheduleStopPlayback(100);
  return exitCode;
}

// Play thread: every buffer set up and prepared again, the queue to be filled from buffer 0
// (which marks the beginning of the loop). False when the device refuses one.
bool CAudio::PrepareQueue() {
  for (bool& once : m_queuedOnce) once = false;
  m_nextHeader = 0;
  m_analysis.RestartBlock();
  for (int i = 0; i < kPlayBufferCount; ++i) {
    PlayHeader& header = m_playHeaders[i];
    header.flags.store(0, std::memory_order_release);
    header.data = m_playData[i];
    header.length = kPlayBufferBytes;  // 128 frames of two 16-bit samples
    if (m_services->PrepareHeader(&header) != kMmNoError) return false;
    if (i == 0) header.flags.fetch_or(kHeaderBeginLoop, std::memory_order_acq_rel);
  }
  return true;
}

// Play thread; never blocks or allocates. A queued buffer advances the next one to refill.
bool CAudio::RefillBuffer(int i, bool* queued) {
  *queued = false;
  if (m_sweepPlaying.load(std::memory_order_acquire) != 0) {
    if (FillSweepBuffer(i) == 0) return false;
    *queued = true;
  } else if (m_filePlaying.load(std::memory_order_acquire) != 0 && m_fileSamples != nullptr) {
    if (FillFileBuffer(i) == 0) return false;
    *queued = true;
  } else {
    m_analysis.RestartBlock();
    m_sweepPos.store(0, std::memory_order_relaxed);
    m_signalStartNoted = false;
  }
  if (*queued) {
    m_queuedOnce[i] = true;
    m_nextHeader = (m_nextHeader + 1) % kPlayBufferCount;
  }
  return true;
}

// Play thread: buffers 0..127 from the active source; a refused buffer asks the thread to stop.
void CAudio::PrefillQueue() {
  for (int i = 0; i < kPlayBufferCount; ++i) {
    bool queued = false;
    if (!RefillBuffer(i, &queued)) {
      m_stopPlay.store(1, std::memory_order_release);
      m_analysis.RestartBlock();
      m_sweepPos.store(0, std::memory_order_relaxed);
      return;
    }
  }
}

// Play thread: refills every played buffer, in order, after each wait for the buffer-done
// event, until a stop (asked for, a refused buffer, the device gone) or a stall.
bool CAudio::KeepQueueFull(COutputWatchdog& watchdog) {
  for (;;) {
    static_cast<void>(m_playEvent.Wait(std::chrono::milliseconds(kPlayEventWaitMs)));
    const bool sourceActive = m_sweepPlaying.load(std::memory_order_acquire) != 0 ||
                              m_filePlaying.load(std::memory_order_acquire) != 0;
    if (m_stopPlay.load(std::memory_order_acquire) != 0 && !sourceActive) return false;
    for (int pass = 0; pass < kPlayBufferCount; ++pass) {
      if (!IsOutputOpen()) return false;
      const int i = m_nextHeader;
      if (!m_queuedOnce[i] ||
          (m_playHeaders[i].flags.load(std::memory_order_acquire) & kHeaderDone) != 0) {
        bool queued = false;
        if (!RefillBuffer(i, &queued)) {
          m_stopPlay.store(1, std::memory_order_release);
          break;
        }
        if (!queued) break;  // nothing to play now
        continue;
      }
      // Buffer i waits to be played: has the output stalled?
      uint64_t position = 0;
      const uint32_t now = m_services->MilliSeconds();
      const bool playing = m_outputStarted.load(std::memory_order_acquire) != 0 &&
                           m_services->GetOutputPosition(&position);
      if (watchdog.Stalled(playing, position, now)) return true;
      break;
    }
    if (!IsOutputOpen() || m_stopPlay.load(std::memory_order_acquire) != 0) {
      return false;
    }
  }
}

// Play thread; never blocks or allocates.
int CAudio::FillSweepBuffer(int index) {
  if (m_hWaveOut.load(std::memory_order_acquire) == 0) return 0;
  PlayHeader& header = m_playHeaders[index];
  header.flags.fetch_and(~kHeaderDone, std::memory_order_acq_rel);
  char* out = m_playData[index];
  int32_t pos = m_sweepPos.load(std::memory_order_relaxed);
  for (int frame = 0; frame < kPlayBufferFrames; ++frame) {
    if (m_sweepPlaying.load(std::memory_order_acquire) != 0 && m_sweepLength > 0) {
      if (pos >= m_sweepLength || pos < 0) pos = 0;
      if (pos == 0 && !m_signalStartNoted) NoteSignalStart(frame);
      const int16_t sample = m_sweep[pos];
      if (++pos >= m_sweepLength) pos = 0;
      out += PutSample(out, OutputSample(sample, m_playVolume.load(std::memory_order_relaxed)));
    } else {
      m_analysis.RestartBlock();
      out += PutSample(out, 0);
      pos = 0;
      m_signalStartNoted = false;
    }
  }
  m_sweepPos.store(pos, std::memory_order_relaxed);
  return QueueFilledBuffer(header, m_sweepPlaying);
}

// Play thread; never blocks or allocates.
int CAudio::FillFileBuffer(int index) {
  if (m_hWaveOut.load(std::memory_order_acquire) == 0) return 0;
  if (m_filePlaying.load(std::memory_order_acquire) == 0) return 0;
  const int16_t* samples = m_fileSamples.get();
  if (samples == nullptr || m_fileSampleCount.load(std::memory_order_acquire) == 0) return 0;

  PlayHeader& header = m_playHeaders[index];
  header.flags.fetch_and(~kHeaderDone, std::memory_order_acq_rel);
  char* out = m_playData[index];
  for (int frame = 0; frame < kPlayBufferFrames; ++frame) {
    const int32_t count = m_fileSampleCount.load(std::memory_order_acquire);
    const int32_t pos = m_filePlayPos.load(std::memory_order_relaxed);
    if (count == 0) {
      m_analysis.RestartBlock();
      out += PutSample(out, 0);
    } else if (pos >= count || pos < 0) {
      TakeReplayAsCapture();
      if (m_endReplayHook != nullptr) {
        m_endReplayHook(m_endReplayContext);
      } else {
        EndReplayPlayback();
      }
      out += PutSample(out, 0);
    } else {
      const int16_t sample = samples[pos];
      m_filePlayPos.store(pos + 1, std::memory_order_relaxed);
      PushReplaySample(sample);
      out += PutSample(out, OutputSample(sample, m_playVolume.load(std::memory_order_relaxed)));
    }
  }
  return QueueFilledBuffer(header, m_filePlaying);
}

// Play thread: the end of both fill routines. A buffer after which the source stops (or the
// thread is asked to stop) is marked the end of the loop; a buffer the device refuses makes it
// give back every other one. Never blocks or allocates.
int CAudio::QueueFilledBuffer(PlayHeader& header, const std::atomic<int32_t>& sourcePlaying) {
  uint32_t marks = kHeaderPrepared;
  if (m_stopPlay.load(std::memory_order_acquire) != 0 ||
      sourcePlaying.load(std::memory_order_acquire) == 0) {
    marks |= kHeaderEndLoop;
  }
  header.flags.fetch_or(marks, std::memory_order_acq_rel);
  const int32_t code = m_services->QueueBuffer(&header);
  if (code != kMmNoError) {
    m_outputFailure.store(code, std::memory_order_release);
    static_cast<void>(m_services->ResetOutput());  // the play thread stops after a refusal
    return 0;
  }
  m_framesQueued += header.length / 4;  // frames of two 16-bit samples
  return 1;
}

// Play thread; never blocks or allocates.
bool CAudio::EndReplayPlayback() {
  if (m_filePlaying.load(std::memory_order_acquire) == 0) return false;
  m_fileSampleCount.store(0, std::memory_order_release);
  m_filePlaying.store(0, std::memory_order_release);
  if (m_waveOutOpened.load(std::memory_order_acquire) != 0 ||
      m_hPlayThread.load(std::memory_order_acquire) != kPlayThreadNone) {
    ScheduleStopPlayback(20);
  }
  return true;
}

// User-interface thread; never blocks.
bool CAudio::EndSweepPlayback() {
  if (m_sweepPlaying.load(std::memory_order_acquire) == 0) return false;
  if (m_waveOutOpened.load(std::memory_order_acquire) != 0 ||
      m_hPlayThread.load(std::memory_order_acquire) != kPlayThreadNone) {
    ScheduleStopPlayback(20);
  }
  m_sweepPlaying.store(0, std::memory_order_release);
  return true;
}

void CAudio::SetEndReplayHook(void (*hook)(void* context), void* context) {
  m_endReplayHook = hook;
  m_endReplayContext = context;
}

void CAudio::ClearEndReplayHook(void* context) {
  if (m_endReplayContext == context) SetEndReplayHook(nullptr, nullptr);
}

// The user-interface thread or the stop timer's thread.
void CAudio::StopPlayThread() {
  int32_t state = m_hPlayThread.load(std::memory_order_acquire);
  if (state == kPlayThreadNone) return;
  if (state == kPlayThreadStopping || !m_hPlayThread.compare_exchange_strong(
                                          state, kPlayThreadStopping, std::memory_order_acq_rel)) {
    // Another thread is stopping it: wait (bounded) until it has.
    for (int i = 0; i < 1500 && m_hPlayThread.load(std::memory_order_acquire) != kPlayThreadNone;
         ++i) {
      SleepMs(1);
    }
    return;
  }

  m_stopPlay.store(1, std::memory_order_release);
  m_playEvent.Signal();
  for (int i = 0; i < 100 && m_playThreadAlive.load(std::memory_order_acquire) != 0; ++i) {
    SleepMs(10);
  }
  // The thread looks at m_stopPlay at least every 50 ms and never blocks otherwise, so it ends
  // by itself: it is joined, never killed.
  SleepMs(10);
  if (m_playThread.joinable()) m_playThread.join();
  m_hPlayThread.store(kPlayThreadNone, std::memory_order_release);

  if (m_hWaveOut.load(std::memory_order_acquire) != 0 &&
      m_closingOutput.load(std::memory_order_acquire) == 0) {
    CloseOutputDevice();
  }
}

// The stop timer's thread (20 ms after DeferPlaybackStop, 100 ms after the play thread ends).
void CAudio::StopPlaybackTimerProc() {
  if (m_stopBusy.exchange(1, std::memory_order_acq_rel) != 0) return;
  m_sweepPlaying.store(0, std::memory_order_release);
  if (m_hPlayThread.load(std::memory_order_acquire) != kPlayThreadNone) StopPlayThread();
  if (m_hWaveOut.load(std::memory_order_acquire) != 0) CloseOutputDevice();
  m_stopBusy.store(0, std::memory_order_release);
}

// ---- endpoint volume (user-interface thread) ----

namespace {
// A second volume call while one runs returns 0 at once.
std::atomic<int32_t> g_volumeBusy{0};
}  // namespace

int CAudio::SetEndpointVolume(float level) {
  if (g_volumeBusy.exchange(1, std::memory_order_acq_rel) != 0) return 0;
  int result = 0;
  if (m_outputName[0] != '\0' && m_services != nullptr) {
    // A real device when one is open, else the default output.
    const int id =
        (m_openDeviceId >= 0 && m_openDeviceId < m_outputCount - 1) ? m_openDeviceId : -1;
    if (!(level >= 0.0f)) level = 0.0f;
    if (level > 1.0f) level = 1.0f;
    result = m_services->SetOutputVolume(id, level) ? 1 : 0;
  }
  g_volumeBusy.store(0, std::memory_order_release);
  return result;
}

int CAudio::GetEndpointVolume(float* level) {
  if (g_volumeBusy.exchange(1, std::memory_order_acq_rel) != 0) return 0;
  int result = 0;
  if (m_outputName[0] != '\0' && level != nullptr) {
    *level = -1.0f;
    float value = -1.0f;
    const int id =
        (m_openDeviceId >= 0 && m_openDeviceId < m_outputCount - 1) ? m_openDeviceId : -1;
    if (m_services != nullptr && m_services->GetOutputVolume(id, &value)) {
      *level = value;
      result = 1;
    }
  }
  g_volumeBusy.store(0, std::memory_order_release);
  return result;
}

// User-interface thread.
bool CAudio::WaitPlaybackStopped(int timeoutMs) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    const bool idle = !m_stopTimer.IsBusy() && m_stopBusy.load(std::memory_order_acquire) == 0 &&
                      m_hPlayThread.load(std::memory_order_acquire) == kPlayThreadNone &&
                      m_playThreadAlive.load(std::memory_order_acquire) == 0 &&
                      m_hWaveOut.load(std::memory_order_acquire) == 0;
    if (idle) return true;
    if (std::chrono::steady_clock::now() >= end) return false;
    SleepMs(1);
  }
}

// When the engine goes away: no timer routine may run any more, then the play thread and the
// output are stopped as the deferred stop would.
void CAudio::ShutDownDevices() {
  m_stopTimer.Stop();
  StopPlaybackTimerProc();
  if (m_playThread.joinable()) m_playThread.join();
}

}  // namespace quorvel

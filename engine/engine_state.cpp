// CAudio's own state: construction, destruction and the reset before each measurement.
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "engine/audio_engine.h"

namespace {

// ResetAnalysis waits for the capture thread in 1 ms steps, at most this many times.
constexpr int kResetWaitPolls = 1000;

// m_resetRequested: 0 = no request, 1 = requested by ResetAnalysis, 2 = the capture thread is
// performing it.
constexpr int32_t kResetNone = 0;
constexpr int32_t kResetPending = 1;
constexpr int32_t kResetInProgress = 2;

void SleepOneMs() {
  std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

}  // namespace

CAudio::CAudio(IAudioServices* services, ICurveListener* listener)
    : m_services(services), m_listener(listener) {
  // Platform objects and handles: nothing is open, no thread runs.
  m_captureOpen = 0;
  m_hWaveOut.store(0, std::memory_order_relaxed);
  m_hPlayThread.store(0, std::memory_order_relaxed);
  m_hCaptureThread.store(0, std::memory_order_relaxed);

  // Output format and buffer headers.
  m_playFormat = PlayFormat{};
  for (PlayHeader& header : m_playHeaders) {
    header.data = nullptr;
    header.length = 0;
    header.flags.store(0, std::memory_order_relaxed);
  }

  // Input rings and the whole record track.
  std::memset(m_ringLeft, 0, sizeof(m_ringLeft));
  std::memset(m_ringRight, 0, sizeof(m_ringRight));
  std::memset(m_record, 0, sizeof(m_record));

  // Counters, indices and flags that start at 0.
  m_blockFill.store(0, std::memory_order_relaxed);
  m_ringWrite = 0;
  m_ringRead = 0;
  m_playThreadAlive.store(0, std::memory_order_relaxed);
  m_lastWriteTime.store(0, std::memory_order_relaxed);
  m_openDeviceId = 0;
  m_sweepPos.store(0, std::memory_order_relaxed);
  m_closingOutput.store(0, std::memory_order_relaxed);
  m_stopBusy.store(0, std::memory_order_relaxed);
  m_stopPlay.store(0, std::memory_order_relaxed);
  m_capturing.store(0, std::memory_order_relaxed);
  m_synced.store(0, std::memory_order_relaxed);
  m_blocksSinceSync = 0;
  m_inputCount = 0;
  m_outputCount = 0;
  m_peakLeft.store(0, std::memory_order_relaxed);
  m_peakRight.store(0, std::memory_order_relaxed);

  // Defaults.
  m_playBits = 16;
  m_playChannels = 1;
  m_inputGain.store(1.0, std::memory_order_relaxed);
  m_inputIndex = -1;
  m_outputDeviceId = -1;
  m_sampleRate = kSampleRate;
  m_playVolume = 65535;
  m_inputName[0] = '\0';
  m_outputName[0] = '\0';

  // Every other field starts at zero.
  m_bufferFrames = 0;
  m_bufferDuration = 0;
  std::memset(m_errorText, 0, sizeof(m_errorText));
  m_playRate = 0;
  m_captureRate = 0;
  m_sweepLength = 0;
  m_noiseCount = 0;
  m_capturedCount.store(0, std::memory_order_relaxed);
  m_recordCount.store(0, std::memory_order_relaxed);
  m_recordWrite = 0;
  m_recordStart.store(0, std::memory_order_relaxed);
  std::memset(m_playData, 0, sizeof(m_playData));
  std::memset(m_sineTable, 0, sizeof(m_sineTable));
  std::memset(m_sweep, 0, sizeof(m_sweep));
  std::memset(m_syncBurst, 0, sizeof(m_syncBurst));
  for (OutputCaps& caps : m_outputCaps) caps = OutputCaps{};
  std::memset(m_inputNames, 0, sizeof(m_inputNames));
  std::memset(m_outputNames, 0, sizeof(m_outputNames));
  std::memset(m_inputName, 0, sizeof(m_inputName));
  std::memset(m_outputName, 0, sizeof(m_outputName));
  for (double& envelope : m_bandEnvelope) envelope = 0.0;
  m_syncThreshold = 0.0;
  m_noiseFloor = 0.0;
  m_filePlaying.store(0, std::memory_order_relaxed);
  m_fileSamples = nullptr;
  m_fileChannels = 0;
  m_fileSampleCount.store(0, std::memory_order_relaxed);
  m_fileRate = 0;
  m_filePlayPos.store(0, std::memory_order_relaxed);
  m_nextHeader.store(0, std::memory_order_relaxed);
  m_captureResult.store(0, std::memory_order_relaxed);
  m_sweepPlaying.store(0, std::memory_order_relaxed);
  m_waveOutOpened.store(0, std::memory_order_relaxed);
  m_resetRequested.store(kResetNone, std::memory_order_relaxed);

  // The band filters' delay values are process-wide; a new engine starts them clean.
  std::memset(g_filterState, 0, sizeof(g_filterState));
}

CAudio::~CAudio() {
  // Stops a running capture thread before anything it uses goes away.
  ReleaseCapture();
  // A replay's play thread reads the loaded samples: playback ends before they are freed.
  ShutDownDevices();
  // A loaded file's samples come from std::malloc/std::realloc (the WAV sample reader).
  std::free(m_fileSamples);
  m_fileSamples = nullptr;
}

void CAudio::ResetAnalysis() {
  if (m_capturing.load(std::memory_order_acquire) != 0) {
    // The capture thread owns the analysis while it runs: hand the reset to it.
    m_resetRequested.store(kResetPending, std::memory_order_release);
    for (int poll = 0; poll < kResetWaitPolls; ++poll) {
      if (m_resetRequested.load(std::memory_order_acquire) == kResetNone) return;
      // A capture thread that has ended (it clears m_capturing last) no longer pushes frames.
      if (m_capturing.load(std::memory_order_acquire) == 0) break;
      SleepOneMs();
    }
    int32_t expected = kResetPending;
    if (!m_resetRequested.compare_exchange_strong(expected, kResetNone,
                                                  std::memory_order_acq_rel)) {
      // The capture thread took the request meanwhile: let it finish the clearing.
      for (int poll = 0; poll < kResetWaitPolls; ++poll) {
        if (m_resetRequested.load(std::memory_order_acquire) == kResetNone) return;
        SleepOneMs();
      }
      return;
    }
    // Nobody took the request: the capture thread has ended or does not poll; reset here.
  }
  ClearAnalysisState();
}

// Called on the capture thread once per poll iteration; never blocks or allocates.
void CAudio::ServiceResetRequest() {
  if (m_resetRequested.load(std::memory_order_relaxed) != kResetPending) return;
  int32_t expected = kResetPending;
  if (!m_resetRequested.compare_exchange_strong(expected, kResetInProgress,
                                                std::memory_order_acquire)) {
    return;
  }
  ClearAnalysisState();
  m_resetRequested.store(kResetNone, std::memory_order_release);
}

void CAudio::ClearCaptureCounters() {
  m_captureResult.store(0, std::memory_order_relaxed);
  m_blockFill.store(0, std::memory_order_relaxed);
  m_ringWrite = 0;
  m_capturedCount.store(0, std::memory_order_relaxed);
  m_recordCount.store(0, std::memory_order_relaxed);
  m_recordWrite = 0;
  m_recordStart.store(0, std::memory_order_relaxed);

  std::memset(m_record, 0, sizeof(m_record));

  m_peakLeft.store(0, std::memory_order_relaxed);
  m_peakRight.store(0, std::memory_order_relaxed);
}

void CAudio::ClearAnalysisState() {
  ClearCaptureCounters();

  std::memset(m_ringLeft, 0, sizeof(m_ringLeft));
  std::memset(m_ringRight, 0, sizeof(m_ringRight));

  for (auto& filter : g_filterState) {
    for (auto& section : filter) {
      section[0] = 0.0;
      section[1] = 0.0;
    }
  }

  for (double& envelope : m_bandEnvelope) envelope = 0.0;
  m_noiseFloor = 0.0;
  m_syncThreshold = 0.0;
  m_noiseCount = 0;

  m_synced.store(0, std::memory_order_relaxed);
  m_blocksSinceSync = 0;
}

// CAudio's own state: construction, destruction and the reset before each measurement.
#include <chrono>
#include <cstring>
#include <thread>

#include "engine/audio_engine.h"

namespace quorvel {

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

// Every field has its initialiser in the class.
CAudio::CAudio(IAudioServices* services, ICurveListener* listener)
    : m_services(services), m_listener(listener) {}

CAudio::~CAudio() {
  // Stops a running capture thread before anything it uses goes away.
  ReleaseCapture();
  // A replay's play thread reads the loaded samples: playback ends before they are freed (with
  // the members).
  ShutDownDevices();
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

  std::memset(m_filterState, 0, sizeof(m_filterState));

  for (double& envelope : m_bandEnvelope) envelope = 0.0;
  m_noiseFloor = 0.0;
  m_syncThreshold = 0.0;
  m_noiseCount = 0;
  m_noiseFloorReady.store(0, std::memory_order_relaxed);

  m_synced.store(0, std::memory_order_relaxed);
  m_syncFrames.store(0, std::memory_order_relaxed);
  m_blocksSinceSync = 0;

  m_blockClipped = 0;
  m_zeroRun = 0;
  m_blockGap = 0;
  m_pointsWithSignal = 0;
  m_clippedPoints.store(0, std::memory_order_relaxed);
  m_deviceClippedPoints.store(0, std::memory_order_relaxed);
  m_silentPoints.store(0, std::memory_order_relaxed);
}

// ---- what the front ends read and set (user-interface thread) ----

EngineCounters CAudio::Counters() const {
  constexpr auto kAcquire = std::memory_order_acquire;
  return {.synced = m_synced.load(kAcquire) != 0,
          .noiseFloorReady = m_noiseFloorReady.load(kAcquire) != 0,
          .clippedPoints = m_clippedPoints.load(kAcquire),
          .deviceClippedPoints = m_deviceClippedPoints.load(kAcquire),
          .silentPoints = m_silentPoints.load(kAcquire),
          .syncFrames = m_syncFrames.load(kAcquire),
          .recordCount = m_recordCount.load(kAcquire),
          .capturedCount = m_capturedCount.load(kAcquire),
          .captureResult = m_captureResult.load(kAcquire),
          .peakLeft = m_peakLeft.load(std::memory_order_relaxed),
          .peakRight = m_peakRight.load(std::memory_order_relaxed),
          .outputStarted = m_outputStarted.load(kAcquire) != 0,
          .outputUnderflows = m_outputUnderflows.load(kAcquire),
          .outputStalled = m_outputStalled.load(kAcquire) != 0,
          .outputFailure = m_outputFailure.load(kAcquire),
          .sweepPos = m_sweepPos.load(std::memory_order_relaxed)};
}

}  // namespace quorvel

// CAudio's own state: construction, destruction and the reset before each measurement.
#include <chrono>
#include <cstring>
#include <span>
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
    : m_services(services), m_analysis(listener) {}

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
  m_analysis.ClearBlock();
  m_capturedCount.store(0, std::memory_order_relaxed);
  m_recordCount.store(0, std::memory_order_relaxed);
  m_recordWrite = 0;
  m_recordStart.store(0, std::memory_order_relaxed);
  m_intakeCount.store(0, std::memory_order_relaxed);
  m_recordStartIntake.store(-1, std::memory_order_relaxed);
  m_captureLead.store(kNoLead, std::memory_order_relaxed);
  m_signalStartFrame.store(-1, std::memory_order_relaxed);

  std::memset(m_record, 0, sizeof(m_record));
  if (m_referenceChannel.load(std::memory_order_relaxed) != 0) {
    std::memset(m_referenceTrack.get(), 0, sizeof(int16_t) * kRecordSize);
  }

  m_peakLeft.store(0, std::memory_order_relaxed);
  m_peakRight.store(0, std::memory_order_relaxed);
}

void CAudio::ClearAnalysisState() {
  ClearCaptureCounters();
  m_analysis.Clear();
}

// ---- what the front ends read and set (user-interface thread) ----

EngineCounters CAudio::Counters() const {
  constexpr auto kAcquire = std::memory_order_acquire;
  EngineCounters counters;
  static_cast<AnalysisCounters&>(counters) = m_analysis.Counters();
  counters.recordCount = m_recordCount.load(kAcquire);
  counters.capturedCount = m_capturedCount.load(kAcquire);
  counters.captureResult = m_captureResult.load(kAcquire);
  counters.peakLeft = m_peakLeft.load(std::memory_order_relaxed);
  counters.peakRight = m_peakRight.load(std::memory_order_relaxed);
  counters.outputStarted = m_outputStarted.load(kAcquire) != 0;
  counters.outputUnderflows = m_outputUnderflows.load(kAcquire);
  counters.outputStalled = m_outputStalled.load(kAcquire) != 0;
  counters.outputFailure = m_outputFailure.load(kAcquire);
  counters.sweepPos = m_sweepPos.load(std::memory_order_relaxed);
  return counters;
}

// ---- the signal ----

int CAudio::GenerateSweep(double fmin, double fmax) {
  m_sweepPos.store(0, std::memory_order_relaxed);
  m_sampleRate = kSampleRate;
  m_sweepLength = quorvel::GenerateSweep(fmin, fmax, std::span<int16_t, kSweepCapacity>(m_sweep));
  // The analysis of this signal takes its points at the instants the sweep passes them; a
  // refused range (no signal) writes no lead-in.
  m_analysis.SetPointTimingForLeadIn(m_sweepLength > 0 ? SweepLeadInSamples(fmin) : 0);
  if (m_sweepLength > 0) {
    std::memcpy(m_syncBurst, m_sweep + kSampleRate / 2, sizeof(m_syncBurst));
  }
  return m_sweepLength;
}

}  // namespace quorvel

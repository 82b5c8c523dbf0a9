// A polar series measured angle by angle through the measurement sequence.
#include "control/polar/polar_series_run.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>

#include "audio/backend/audio_backend.h"
#include "base/shared_state.h"
#include "control/captures/capture_files.h"
#include "control/polar/polar_angles.h"
#include "control/quorvel_core.h"
#include "files/capture_samples.h"
#include "files/wave_format.h"
#include "graph/graphical.h"

namespace quorvel {

namespace {

// A whole capture as Load Audio File takes it [bytes, samples]; one with its timing reference
// beside it twice as large.
constexpr off_t kSmallestCapture = 1920000;
constexpr off_t kLargestCapture = 2200000;
constexpr uint32_t kFewestSamples = 1000000;
constexpr int kLongestPause = 600;  // [s]

bool IsFolder(const std::string& path) {
  struct stat st {};
  return !path.empty() && stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

Result<void> CheckPolarPlan(const PolarSeriesPlan& plan) {
  if (Result<void> name = CheckSeriesName(plan.name); !name) return name;
  if (plan.anglesDeg.empty() || plan.anglesDeg.size() > kMostPolarAngles) {
    return Failure{"The series needs 1 to 361 angles"};
  }
  if (plan.advance == PolarAdvance::kPause &&
      (plan.pauseSeconds < 0 || plan.pauseSeconds > kLongestPause)) {
    return Failure{"The pause is 0 to 600 seconds"};
  }
  if (!IsFolder(plan.folder)) {
    return Failure{"The folder \"" + plan.folder + "\" does not exist"};
  }
  return {};
}

bool IsWholeCapture(const std::string& path) {
  struct stat st {};
  if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size < kSmallestCapture ||
      st.st_size > 2 * kLargestCapture) {
    return false;
  }
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return false;
  uint32_t count = 0;
  int32_t channels = 0;
  int16_t* samples = nullptr;
  int32_t rate = 0;
  WaveFormat format;
  const bool read = ReadCaptureSamples(file, &count, &channels, &samples, &rate, &format);
  std::free(samples);
  const CaptureLayout layout = CaptureLayoutOf(format);
  return read && count >= kFewestSamples &&
         ((layout == CaptureLayout::kMono16 && st.st_size <= kLargestCapture) ||
          layout == CaptureLayout::kStereo16);
}

std::string TurnPrompt(int angleDeg) {
  return "Turn the speaker to " + std::to_string(angleDeg) + " degrees, then press OK";
}

CPolarSeriesRun::CPolarSeriesRun(CQuorvelCore& core) : m_core(core) {}

CPolarSeriesRun::~CPolarSeriesRun() {
  if (m_core.Sequence().IsRunning()) {
    m_core.Sequence().RequestStop();
    static_cast<void>(m_core.Sequence().Finish());
  }
}

Result<void> CPolarSeriesRun::Begin(const PolarSeriesPlan& plan,
                                    const MeasurementRequest& request) {
  if (m_state == PolarRunState::kMeasuring || m_core.Sequence().IsRunning()) {
    return quorvel::Failure{"A measurement is running"};  // the struct: Failure() is the run's
  }
  if (Result<void> checked = CheckPolarPlan(plan); !checked) return checked;
  m_plan = plan;
  m_request = request;
  m_todo.clear();
  for (const int angle : plan.anglesDeg) {
    if (plan.remeasure ||
        !IsWholeCapture(PolarCapturePath(plan.folder, plan.name, plan.plane, angle))) {
      m_todo.push_back(angle);
    }
  }
  m_next = 0;
  m_failures = 0;
  m_saved.clear();
  m_failure.clear();
  m_state = m_todo.empty() ? PolarRunState::kDone : PolarRunState::kTurn;
  return {};
}

int CPolarSeriesRun::CurrentAngle() const {
  return m_next < m_todo.size() ? m_todo[m_next] : 0;
}

PolarRunState CPolarSeriesRun::Measure() {
  if (m_state != PolarRunState::kTurn) return m_state;
  if (m_core.Services() != nullptr) {
    // only the simulated loudspeaker turns by itself; a real one has been turned by the user
    static_cast<void>(SetSimulatedLoudspeakerAngle(*m_core.Services(), CurrentAngle()));
    // and carries the played signal on the timing reference's channel, as a loopback does
    if (m_request.reference != ReferenceChannel::kNone) {
      static_cast<void>(
          SetSimulatedLoopback(*m_core.Services(), static_cast<int>(m_request.reference)));
    }
  }
  CSharedState& shared = m_core.Shared();
  shared.m_curveFmin = m_request.fmin;
  shared.m_curveFmax = m_request.fmax;
  m_core.Graph().ClearCurve();
  shared.m_bCurveEndNotified.store(0, std::memory_order_release);
  if (!m_core.Sequence().Start(m_request)) return Ended(m_core.Sequence().Finish());
  m_state = PolarRunState::kMeasuring;
  return m_state;
}

PolarRunState CPolarSeriesRun::Tick() {
  if (m_state != PolarRunState::kMeasuring) return m_state;
  if (m_core.Sequence().Tick() == SequenceStatus::kRunning) return m_state;
  return Ended(m_core.Sequence().Finish());
}

void CPolarSeriesRun::Stop() {
  if (m_state == PolarRunState::kMeasuring) {
    m_core.Sequence().RequestStop();
    static_cast<void>(m_core.Sequence().Finish());
  }
  if (m_state == PolarRunState::kTurn || m_state == PolarRunState::kMeasuring) {
    m_state = PolarRunState::kStopped;
  }
}

PolarRunState CPolarSeriesRun::Ended(SequenceStatus status) {
  if (status == SequenceStatus::kStopped) {
    m_state = PolarRunState::kStopped;
    return m_state;
  }
  if (status != SequenceStatus::kComplete) return AngleFailed();
  const std::string path =
      PolarCapturePath(m_plan.folder, m_plan.name, m_plan.plane, CurrentAngle());
  // a capture that cannot be written fails again at the next angle: the series stops here
  const CaptureReadContext files = m_core.FileContext().Reading();
  const Measurement* measurement = m_core.Sequence().FinishedRunMeasurement();
  if (!CheckMeasurementToSave(files, measurement) ||
      !SaveMeasurementCapture(files, *measurement, path)) {
    m_failure = "The capture of " + std::to_string(CurrentAngle()) +
                " degrees could not be saved: the series stopped there";
    m_state = PolarRunState::kFailed;
    return m_state;
  }
  m_saved.push_back(path);
  m_failures = 0;
  ++m_next;
  m_state = m_next < m_todo.size() ? PolarRunState::kTurn : PolarRunState::kDone;
  return m_state;
}

PolarRunState CPolarSeriesRun::AngleFailed() {
  if (++m_failures < kPolarAttempts) {
    m_state = PolarRunState::kTurn;  // the same angle again
    return m_state;
  }
  m_failure = "The measurement at " + std::to_string(CurrentAngle()) + " degrees failed " +
              std::to_string(kPolarAttempts) + " times: the series stopped there";
  m_state = PolarRunState::kFailed;
  return m_state;
}

}  // namespace quorvel

#pragma once
// A polar series measured: one measurement per angle through the measurement sequence, with
// the same devices, gain, range, chart and timing reference, each saved as Save Audio File writes a
// capture
// ("woofer hor 30.wav") in one folder. The front end turns the speaker (or waits for a
// turntable) before each angle and ticks the run as it ticks a measurement. A stopped series
// resumes where it stopped: angles whose capture is already whole are not measured again. A
// failed angle is measured again; after kPolarAttempts failures the series stops and names it.
// On the simulated loudspeaker each angle turns the simulation to it. Plain C++;
// user-interface thread (or quorvel-cli's main thread).
#include <string>
#include <vector>

#include "base/result.h"
#include "control/run/measurement_request.h"
#include "control/run/measurement_sequence.h"
#include "measurement/polar_series.h"

namespace quorvel {

class CQuorvelCore;

// How the series moves on to the next angle.
enum class PolarAdvance { kPrompt, kPause };

// The measurements of one angle before the series gives up on it.
inline constexpr int kPolarAttempts = 3;

struct PolarSeriesPlan {
  std::string name;  // the series' name (CheckSeriesName)
  PolarPlane plane = PolarPlane::kHorizontal;
  std::vector<int> anglesDeg;  // in the order measured (ParsePolarAngles)
  PolarAdvance advance = PolarAdvance::kPrompt;
  int pauseSeconds = 5;    // kPause: the wait before each angle
  std::string folder;      // where the captures go
  bool remeasure = false;  // every angle measured, whole captures replaced (else resumed)
};

// The plan can run: a name, angles, a pause of 0 to 600 s, a folder. Else the rule.
[[nodiscard]] Result<void> CheckPolarPlan(const PolarSeriesPlan& plan);

// A capture at path that a resumed series keeps: a 16-bit 48000 Hz WAV of a whole recording, as
// Load Audio File takes it (mono, or with its timing reference).
[[nodiscard]] bool IsWholeCapture(const std::string& path);

// The prompt of an angle: "Turn the speaker to 30 degrees, then press OK".
[[nodiscard]] std::string TurnPrompt(int angleDeg);

enum class PolarRunState {
  kIdle,       // nothing begun
  kTurn,       // the speaker is to be turned to CurrentAngle(), then Measure()
  kMeasuring,  // a measurement runs: Tick() on
  kDone,       // every angle has its capture
  kStopped,    // stopped by the user: Begin again resumes
  kFailed,     // an angle failed kPolarAttempts times, or a capture could not be saved
};

class CPolarSeriesRun {
 public:
  explicit CPolarSeriesRun(CQuorvelCore& core);
  ~CPolarSeriesRun();
  CPolarSeriesRun(const CPolarSeriesRun&) = delete;
  CPolarSeriesRun& operator=(const CPolarSeriesRun&) = delete;

  // Starts the series, or resumes it: the angles whose capture is not whole yet (every angle
  // when the plan says remeasure) are to be measured, in the plan's order. The request's devices,
  // gain and range serve every angle. kTurn (or kDone when nothing is left); else nothing
  // begun, and the rule.
  [[nodiscard]] Result<void> Begin(const PolarSeriesPlan& plan, const MeasurementRequest& request);

  // In kTurn: measures the current angle (the simulated loudspeaker turned to it first).
  // kMeasuring, or a failed start counted as a failure of the angle.
  PolarRunState Measure();
  // One look at the running measurement; when it ends, its capture is saved and the run moves
  // on (kTurn for the next angle or again for a failed one, kDone, kStopped, kFailed).
  PolarRunState Tick();
  // Stops the series: a running measurement ends as stopped (the angle stays to do), a wait for
  // the turn ends. kStopped, unless already done or failed.
  void Stop();

  PolarRunState State() const { return m_state; }
  // The angle to turn to or being measured (kTurn, kMeasuring).
  int CurrentAngle() const;
  // The current angle failed before and is measured again (no turn is needed).
  bool Retrying() const { return m_failures > 0; }
  // Angles with a whole capture, of all the plan's.
  size_t AnglesDone() const { return m_plan.anglesDeg.size() - m_todo.size() + m_next; }
  size_t AnglesTotal() const { return m_plan.anglesDeg.size(); }
  // The angles this run measures (those without a whole capture when it began), and how many
  // of them are done.
  const std::vector<int>& AnglesToMeasure() const { return m_todo; }
  size_t AnglesMeasured() const { return m_next; }
  // The captures this run has saved, in order.
  const std::vector<std::string>& SavedPaths() const { return m_saved; }
  // Why the series failed (kFailed).
  const std::string& Failure() const { return m_failure; }
  const PolarSeriesPlan& Plan() const { return m_plan; }

 private:
  PolarRunState Ended(SequenceStatus status);
  PolarRunState AngleFailed();

  CQuorvelCore& m_core;
  PolarSeriesPlan m_plan;
  MeasurementRequest m_request;
  std::vector<int> m_todo;  // the angles without a whole capture when the run began
  size_t m_next = 0;        // the index in m_todo of the current angle
  int m_failures = 0;       // of the current angle
  PolarRunState m_state = PolarRunState::kIdle;
  std::vector<std::string> m_saved;
  std::string m_failure;
};

}  // namespace quorvel

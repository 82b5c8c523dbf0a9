#include "measurement/trace.h"

#include <algorithm>
#include <cmath>

#include "response/impulse_analysis.h"
#include "response/response_export.h"
#include "response/response_window.h"

namespace quorvel {

namespace {

constexpr double kSamplesPerMs = CImpulseAnalysis::kRate / 1000.0;
constexpr long kRampBefore = 120;

// The impulse response around its peak, windowed as the trace is gated.
std::vector<double> ImpulseAroundPeak(const CImpulseAnalysis& analysis) {
  constexpr int first = TraceTiming::kImpulseFirst, last = TraceTiming::kImpulseLast;
  std::vector<double> samples = analysis.LinearSamples(first, last - first + 1);
  const double gate = analysis.AppliedGateMs();
  const long after = gate > 0.0 ? std::min<long>(last, std::lround(gate * kSamplesPerMs)) : last;
  const long rampAfter = gate > 0.0 ? after / 2 : last / 4;
  for (int i = first; i <= last; ++i) {
    samples[static_cast<std::size_t>(i - first)] *=
        WindowWeight(i, -first, after, kRampBefore, rampAfter);
  }
  return samples;
}

}  // namespace

Result<Trace> TraceFromAnalysis(const CImpulseAnalysis& analysis, std::string name,
                                std::optional<TimeReference> timeReference) {
  if (!analysis.HasResult()) return Failure{kMsgNoImpulse};
  Trace trace;
  trace.name = std::move(name);
  trace.range = {analysis.Fmin(), analysis.Fmax()};
  trace.frequenciesHz = FrdFrequencies(analysis.Fmin(), analysis.Fmax());
  trace.phase = PhaseKind::kMeasured;
  trace.timeReference = timeReference;
  const ResponseTiming& timing = analysis.GetTimeReference();
  // An analysis timed from a loopback reference gives its phases from the reference's peak; a
  // trace keeps them from its own peak and the delay beside them, which its FRD adds back and
  // the vector average lines traces up by.
  const double untimed = timing.loopback ? analysis.PeakPosition() - timing.position : 0.0;
  if (!trace.timeReference && timing.loopback) {
    trace.timeReference =
        TimeReference{TimeReferenceKind::kLoopback, untimed * 1000.0 / CImpulseAnalysis::kRate};
  } else if (!trace.timeReference && timing.playedDelaySamples) {
    // a live measurement's analysis knows its peak's delay after the played signal
    trace.timeReference =
        TimeReference{TimeReferenceKind::kPlayedSignal,
                      *timing.playedDelaySamples * 1000.0 / CImpulseAnalysis::kRate};
  }
  trace.gateMs = analysis.AppliedGateMs();
  trace.correctionName = analysis.CorrectionName();
  trace.levelScale = analysis.LevelScaleWords();
  const std::size_t n = trace.frequenciesHz.size();
  trace.levelsDb.reserve(n);
  trace.phasesDeg.reserve(n);
  trace.timing.transfer.reserve(n);
  for (const double f : trace.frequenciesHz) {
    const LevelPhase at = analysis.ResponseAt(f);
    trace.levelsDb.push_back(at.levelDb);
    trace.phasesDeg.push_back(
        timing.loopback ? WrapPhaseDeg(at.phaseDeg + 360.0 * f * untimed / CImpulseAnalysis::kRate)
                        : at.phaseDeg);
    trace.timing.transfer.push_back(analysis.TransferAt(f) *
                                    std::pow(10.0, -analysis.CorrectionDb(f) / 20.0));
  }
  trace.timing.impulse = ImpulseAroundPeak(analysis);
  trace.timing.peakPosition = analysis.PeakPosition();
  trace.timing.peakFraction = analysis.PeakFraction();
  return trace;
}

bool HasTiming(const Trace& trace) {
  return trace.timing.transfer.size() == trace.frequenciesHz.size() &&
         trace.timing.impulse.size() ==
             static_cast<std::size_t>(TraceTiming::kImpulseLast - TraceTiming::kImpulseFirst + 1);
}

double WrapPhaseDeg(double degrees) {
  double wrapped = std::remainder(degrees, 360.0);  // [-180, 180]
  if (wrapped <= -180.0) wrapped += 360.0;
  return wrapped;
}

std::vector<double> TimedPhasesDeg(const Trace& trace) {
  if (trace.phasesDeg.size() != trace.frequenciesHz.size()) return {};
  if (!trace.timeReference || trace.timeReference->kind != TimeReferenceKind::kLoopback) {
    return trace.phasesDeg;
  }
  std::vector<double> phases(trace.phasesDeg.size());
  for (std::size_t k = 0; k < phases.size(); ++k) {
    phases[k] = WrapPhaseDeg(trace.phasesDeg[k] - 360.0 * trace.frequenciesHz[k] *
                                                      trace.timeReference->delayMs / 1000.0);
  }
  return phases;
}

}  // namespace quorvel

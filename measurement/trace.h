#pragma once

// A trace: one frequency response as the workbench overlays, averages and exports it. Measured
// traces come from an impulse-response analysis (TraceFromAnalysis); derived ones from averages
// and differences of others (measurement/trace_average.h, measurement/trace_difference.h).
//
// Scales, as `quorvel-cli response`'s FRD holds them: frequencies on the 1/48-octave grid from
// the range's fmin (FrdFrequencies), levels in dB of the transfer from the played samples to the
// recorded samples (absolute, never normalised), phases in degrees within (-180, 180] timed
// from the impulse response's peak. Plain C++; a trace is a value, cheap to copy (a few
// thousand numbers).
//
// Threads: the functions of measurement/ depend on their arguments alone and may run on any
// thread, several at once (FFTW plans its transforms under its process-wide lock).
#include <complex>
#include <optional>
#include <string>
#include <vector>

#include "base/result.h"

namespace quorvel {

class CImpulseAnalysis;

struct TraceRange {
  double fminHz = 0.0;
  double fmaxHz = 0.0;
};

// Where a trace's impulse response lies in time.
enum class TimeReferenceKind {
  kPlayedSignal,  // from the played signal: the devices' latency is included
  kLoopback,      // from the loopback reference's impulse response: the acoustic delay alone
};

struct TimeReference {
  TimeReferenceKind kind = TimeReferenceKind::kPlayedSignal;
  // From the reference to the trace's time reference: its impulse response's peak as the
  // analysis places it (PeakPosition), which its transfer and phase are timed from. The
  // reference's own instant may be found more finely; measured to that same peak, the vector
  // average lines traces up exactly by it.
  double delayMs = 0.0;
};

// What a trace's phase is.
enum class PhaseKind {
  kNone,        // unknown: phasesDeg is empty
  kMeasured,    // the linear impulse response's, timed from its peak
  kMinimum,     // the minimum phase of the level (an average of levels has no phase of its own)
  kVectorMean,  // the aligned complex mean's, timed from its peak
  kDifference,  // the first source's phase minus the second's
};

// How a trace was made.
enum class TraceWay { kMeasured, kDbMean, kPowerMean, kVectorMean, kDifference };

// How a vector mean lined its sources up in time.
enum class TraceAlignment {
  kNone,              // each source timed from its own impulse response's peak, as measured
  kCrossCorrelation,  // by the cross-correlation of the impulse responses
  kTimeReferences,    // by the sources' loopback time references
};

struct TraceOrigin {
  TraceWay way = TraceWay::kMeasured;
  std::vector<std::string> sources;  // the names of the traces it was made of; empty: measured
  // A vector mean's:
  TraceAlignment alignment = TraceAlignment::kNone;
  // each source's delay after the first, as the alignment found it [samples at 48000 Hz]
  std::vector<double> delaysSamples;
};

// What the vector average needs beyond the levels: the complex transfer, and the impulse
// response around its peak for the alignment.
struct TraceTiming {
  // The impulse response's samples held, counted from its peak sample.
  static constexpr int kImpulseFirst = -240;  // 5 ms before
  static constexpr int kImpulseLast = 960;    // 20 ms after (or the gate)

  // At each of the trace's frequencies: the transfer whose level and phase the trace shows
  // (its microphone correction and offset included), timed from the impulse response's peak.
  std::vector<std::complex<double>> transfer;
  // The linear impulse response from kImpulseFirst to kImpulseLast, windowed as the trace is
  // gated (half-Hann tapers over the first 120 samples and over the last quarter, or the gate's
  // second half); empty when the trace has none.
  std::vector<double> impulse;
  // Where the peak lies [samples]: from the recording's first sample, and the time reference's
  // place after the peak sample (-0.5 .. 0.5).
  double peakPosition = 0.0;
  double peakFraction = 0.0;
};

struct Trace {
  std::string name;
  TraceRange range;
  std::vector<double> frequenciesHz;  // FrdFrequencies(range)
  std::vector<double> levelsDb;       // one per frequency
  std::vector<double> phasesDeg;      // one per frequency; empty when phase is kNone
  PhaseKind phase = PhaseKind::kNone;
  std::optional<TimeReference> timeReference;
  int smoothingBands = 0;      // the levels smoothed over 1/N octave; 0: not smoothed
  double offsetDb = 0.0;       // the level offset applied (measurement/trace_offset.h)
  double gateMs = 0.0;         // the gate applied [ms after the peak]; 0: none
  std::string correctionName;  // the microphone correction subtracted; empty: none
  std::string levelScale;      // what the levels are when not the transfer's dB ("dB SPL ...")
  TraceOrigin origin;
  TraceTiming timing;
};

// The trace of an analysed recording: its range, ResponseAt's level and phase at each
// frequency (gated as the analysis is), the transfer and the impulse response (at most
// gateMs after the peak when gated). timeReference: where the peak lies, when the caller knows
// it (a loopback reference, or the played signal's place in the recording). Refused without a
// result (kMsgNoImpulse).
[[nodiscard]] Result<Trace> TraceFromAnalysis(const CImpulseAnalysis& analysis, std::string name,
                                              std::optional<TimeReference> timeReference = {});

// Whether the trace holds what a vector average needs (the transfer and the impulse response).
[[nodiscard]] bool HasTiming(const Trace& trace);

// A phase [degrees] wrapped to (-180, 180].
[[nodiscard]] double WrapPhaseDeg(double degrees);

// The trace's phases as its FRD gives them and its phase view shows them: from the loopback
// reference's peak when it has one (its own peak's phases delayed by the reference's delay),
// else from its own peak. Empty without a phase.
[[nodiscard]] std::vector<double> TimedPhasesDeg(const Trace& trace);

}  // namespace quorvel

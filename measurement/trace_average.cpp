#include "measurement/trace_average.h"

#include <algorithm>
#include <cmath>

#include "measurement/impulse_alignment.h"
#include "measurement/octave_smoothing.h"
#include "measurement/trace_range.h"
#include "measurement/trace_smoothing.h"
#include "response/minimum_phase.h"
#include "response/response_export.h"

namespace quorvel {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kRate = 48000.0;
constexpr double kSamplesPerMs = kRate / 1000.0;
constexpr double kLevelFloorDb = -300.0;

double LevelDb(std::complex<double> v) {
  const double magnitude = std::abs(v);
  return magnitude > 0.0 ? std::max(20.0 * std::log10(magnitude), kLevelFloorDb) : kLevelFloorDb;
}

// The minimum phase of a level on the grid, wrapped; the grid's last point may lie at half the
// rate, where the minimum phase reads the curve just below it.
std::vector<double> WrappedMinimumPhase(const std::vector<double>& hz,
                                        const std::vector<double>& db) {
  const double top = kRate / 2 * (1.0 - 1e-6);
  std::vector<double> curveHz, curveDb, at;
  for (std::size_t i = 0; i < hz.size(); ++i) {
    if (hz[i] < top) {
      curveHz.push_back(hz[i]);
      curveDb.push_back(db[i]);
    }
    at.push_back(std::min(hz[i], top));
  }
  std::vector<double> phase = MinimumPhaseDeg(curveHz, curveDb, at, kRate);
  for (double& p : phase) p = std::isfinite(p) ? WrapPhaseDeg(p) : 0.0;
  return phase;
}

// A derived trace's frame: its name, range, grid and origin.
Trace DerivedTrace(std::span<const Trace> sources, AverageWay way, const AverageOptions& options,
                   TraceRange range) {
  Trace out;
  out.name = options.name.empty() ? AverageWayName(way) : options.name;
  out.range = range;
  out.frequenciesHz = FrdFrequencies(range.fminHz, range.fmaxHz);
  out.origin.way = way == AverageWay::kDbMean      ? TraceWay::kDbMean
                   : way == AverageWay::kPowerMean ? TraceWay::kPowerMean
                                                   : TraceWay::kVectorMean;
  for (const Trace& s : sources) out.origin.sources.push_back(s.name);
  // Sources on one level scale (dB SPL by one calibration) give their mean on it.
  const bool oneScale = std::all_of(sources.begin(), sources.end(), [&](const Trace& s) {
    return s.levelScale == sources.front().levelScale;
  });
  if (!sources.empty() && oneScale) out.levelScale = sources.front().levelScale;
  return out;
}

// dB and power means: the sources smoothed over their own ranges, then read on the common grid.
Trace LevelMean(std::span<const Trace> traces, AverageWay way, const AverageOptions& options,
                TraceRange range) {
  Trace out = DerivedTrace(traces, way, options, range);
  const std::size_t n = out.frequenciesHz.size();
  std::vector<double> sum(n, 0.0);
  for (const Trace& trace : traces) {
    const Trace s = Resampled(Smoothed(trace, options.smoothingBands), range);
    for (std::size_t k = 0; k < n; ++k) {
      sum[k] += way == AverageWay::kDbMean ? s.levelsDb[k] : std::pow(10.0, s.levelsDb[k] / 10.0);
    }
  }
  const double count = static_cast<double>(traces.size());
  for (std::size_t k = 0; k < n; ++k) {
    out.levelsDb.push_back(way == AverageWay::kDbMean
                               ? sum[k] / count
                               : std::max(10.0 * std::log10(sum[k] / count), kLevelFloorDb));
  }
  out.smoothingBands = options.smoothingBands;
  out.phase = PhaseKind::kMinimum;
  out.phasesDeg = WrappedMinimumPhase(out.frequenciesHz, out.levelsDb);
  for (std::size_t k = 0; k < n; ++k) {
    out.timing.transfer.push_back(
        std::polar(std::pow(10.0, out.levelsDb[k] / 20.0), out.phasesDeg[k] * kPi / 180.0));
  }
  return out;
}

Trace VectorMean(std::span<const Trace> traces, const AverageOptions& options, TraceRange range) {
  Trace out = DerivedTrace(traces, AverageWay::kVectorMean, options, range);
  std::vector<Trace> sources;
  for (const Trace& trace : traces) sources.push_back(Resampled(trace, range));
  const TraceTiming& first = sources.front().timing;
  const bool byReferences = std::all_of(sources.begin(), sources.end(), [](const Trace& s) {
    return s.timeReference && s.timeReference->kind == TimeReferenceKind::kLoopback;
  });
  // rho[i]: how far source i is advanced against its own peak to line up with the first's.
  std::vector<double> rho(sources.size(), 0.0);
  if (!options.align) {
    out.origin.alignment = TraceAlignment::kNone;
  } else if (byReferences) {
    out.origin.alignment = TraceAlignment::kTimeReferences;
    for (std::size_t i = 0; i < sources.size(); ++i) {
      const double delay =
          (sources[i].timeReference->delayMs - sources.front().timeReference->delayMs) *
          kSamplesPerMs;
      rho[i] = -delay;
      out.origin.delaysSamples.push_back(delay);
    }
  } else {
    out.origin.alignment = TraceAlignment::kCrossCorrelation;
    for (std::size_t i = 0; i < sources.size(); ++i) {
      const TraceTiming& t = sources[i].timing;
      const double tau = i == 0 ? 0.0 : ImpulseDelaySamples(first.impulse, t.impulse);
      rho[i] = tau + first.peakFraction - t.peakFraction;
      out.origin.delaysSamples.push_back((t.peakPosition - t.peakFraction) -
                                         (first.peakPosition - first.peakFraction) + tau);
    }
  }
  // The mean of the impulse responses, lined up likewise, in the first's peak-sample frame.
  std::vector<std::span<const double>> windows;
  std::vector<double> advances;
  for (std::size_t i = 0; i < sources.size(); ++i) {
    windows.emplace_back(sources[i].timing.impulse);
    advances.push_back(sources[i].timing.peakFraction + rho[i] - first.peakFraction);
  }
  const MeanImpulse meanImpulse = AlignedMeanImpulse(windows, advances);
  const double peak = meanImpulse.peak + TraceTiming::kImpulseFirst;  // from the first's sample
  const long whole = std::lround(peak);
  // The mean, timed from its own peak.
  const double retime = peak - first.peakFraction;
  const double count = static_cast<double>(sources.size());
  for (std::size_t k = 0; k < out.frequenciesHz.size(); ++k) {
    const double w = 2.0 * kPi * out.frequenciesHz[k] / kRate;
    std::complex<double> sum = 0.0;
    for (std::size_t i = 0; i < sources.size(); ++i) {
      sum += sources[i].timing.transfer[k] * std::polar(1.0, w * rho[i]);
    }
    const std::complex<double> mean = sum / count * std::polar(1.0, w * retime);
    out.timing.transfer.push_back(mean);
    out.levelsDb.push_back(LevelDb(mean));
    out.phasesDeg.push_back(WrapPhaseDeg(std::arg(mean) * 180.0 / kPi));
  }
  const long length = static_cast<long>(meanImpulse.samples.size());
  out.timing.impulse.assign(meanImpulse.samples.size(), 0.0);
  for (long j = 0; j < length; ++j) {
    const long from = j + whole;
    if (from >= 0 && from < length) out.timing.impulse[j] = meanImpulse.samples[from];
  }
  out.timing.peakFraction = peak - static_cast<double>(whole);
  out.timing.peakPosition = first.peakPosition + retime;
  if (byReferences && options.align) {
    out.timeReference =
        TimeReference{TimeReferenceKind::kLoopback,
                      sources.front().timeReference->delayMs + retime / kSamplesPerMs};
  }
  out.phase = PhaseKind::kVectorMean;
  if (options.smoothingBands > 0) {
    out.levelsDb = SmoothFractionalOctaveDb(out.frequenciesHz, out.levelsDb, options.smoothingBands,
                                            out.frequenciesHz);
    out.smoothingBands = options.smoothingBands;
  }
  return out;
}

}  // namespace

const char* AverageWayName(AverageWay way) {
  switch (way) {
    case AverageWay::kDbMean:
      return "dB mean";
    case AverageWay::kPowerMean:
      return "power mean";
    case AverageWay::kVectorMean:
      break;
  }
  return "vector mean";
}

const char* AverageModeWord(AverageWay way) {
  switch (way) {
    case AverageWay::kDbMean:
      return "db";
    case AverageWay::kPowerMean:
      return "power";
    case AverageWay::kVectorMean:
      break;
  }
  return "vector";
}

Result<AverageWay> AverageWayOfMode(const std::string& word) {
  for (const AverageWay way :
       {AverageWay::kDbMean, AverageWay::kPowerMean, AverageWay::kVectorMean}) {
    if (word == AverageModeWord(way)) return way;
  }
  return Failure{"Unknown average mode \"" + word + "\": db, power or vector"};
}

Result<Trace> AverageTraces(std::span<const Trace> traces, AverageWay way,
                            const AverageOptions& options) {
  if (traces.size() < 2) return Failure{"An average needs two or more traces"};
  const Result<int> smoothing = SmoothingBands(options.smoothingBands);
  if (!smoothing.Ok()) return Failure{smoothing.Message()};
  if (way == AverageWay::kVectorMean) {
    for (const Trace& trace : traces) {
      if (!HasTiming(trace)) {
        return Failure{"A vector mean needs each trace's impulse response, and " + trace.name +
                       " has none: use a dB or power mean"};
      }
    }
  }
  const Result<TraceRange> range = CommonRange(traces, options.fminHz, options.fmaxHz);
  if (!range.Ok()) return Failure{range.Message()};
  return way == AverageWay::kVectorMean ? VectorMean(traces, options, *range)
                                        : LevelMean(traces, way, options, *range);
}

}  // namespace quorvel

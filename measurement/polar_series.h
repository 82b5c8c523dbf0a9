#pragma once
// An off-axis series of one loudspeaker: its captures named as crossover tools parse them
// ("woofer hor 30.wav", "woofer ver -15.wav"), and each one's gated response on one time axis,
// the gate starting, in every capture, where the 0 degree capture's direct sound lies, so that
// the phases of the set can be combined as the sounds combine in the air. Plain C++.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/result.h"

namespace quorvel {

class CImpulseAnalysis;

enum class PolarPlane { kHorizontal, kVertical };

struct PolarName {
  std::string series;  // "woofer"
  PolarPlane plane = PolarPlane::kHorizontal;
  int angleDeg = 0;  // -180 .. 180
};

// "NAME hor 30.wav" / "NAME ver -15.wav" (the extension in any case; a "+" sign and a whole
// ".0" are read too), angles -180 to 180; nothing for any other name.
[[nodiscard]] std::optional<PolarName> ParsePolarName(std::string_view fileName);
// "NAME hor 30" + extension: the angle whole, without "+" or decimals.
[[nodiscard]] std::string PolarFileName(const PolarName& name, std::string_view extension);
// "hor" or "ver".
[[nodiscard]] const char* PlaneWord(PolarPlane plane);

// One capture's gated response on the series' time axis.
struct PolarResponse {
  PolarName name;
  std::vector<double> levelsDb;   // at the series' frequencies, the microphone correction off
  std::vector<double> phasesDeg;  // timed from the 0 degree capture's peak, (-180, 180]
  // Where this capture's own peak lies after the 0 degree capture's [ms]: outside the gate
  // (before its start, or after its end) the response is not the direct sound.
  double peakAfterReferenceMs = 0.0;
  // Timed, as the 0 degree capture, from the loopback timing reference its recording holds
  // (device latencies drop out, the angles' own delays stay); else lined up to the 0 degree
  // capture by the cross-correlation of the impulse responses.
  bool loopback = false;
};

struct PolarSeries {
  std::string series;
  double fmin = 0.0;
  double fmax = 0.0;
  std::vector<double> frequenciesHz;  // the FRD's grid of the range
  double gateMs = 0.0;
  std::string referenceName;  // the 0 degree capture whose peak is the time axis's origin
  int smoothingBands = 0;     // levels smoothed over 1/N octave; 0: none
  std::vector<PolarResponse> responses;  // by plane, then angle
};

// The impulse response of the 0 degree capture that the others are lined up to: samples
// TraceTiming's kImpulseFirst .. kImpulseLast of its peak sample, and where its time reference
// lies after that sample.
struct PolarReference {
  std::vector<double> window;
  double fraction = 0.0;
};
[[nodiscard]] PolarReference MakePolarReference(const CImpulseAnalysis& analysis);

// Where the reference's time reference lies in this capture's recording [samples from its first
// sample]: the captures hold no timing reference (their recordings start at no common instant),
// so each is lined up to the 0 degree capture by the cross-correlation of their impulse
// responses, refined between samples (measurement/impulse_alignment.h).
[[nodiscard]] double AlignedReferencePeak(const PolarReference& reference,
                                          const CImpulseAnalysis& analysis);

// The gate of a series: kept from 1 ms before the reference peak to gateMs after it, rising over
// its first half millisecond and falling over the gate's second half (CImpulseAnalysis's gate),
// at referencePeak samples of this capture's recording. The analysis's range, levels (with its
// correction) and phase at each frequency; the phase timed from referencePeak.
[[nodiscard]] PolarResponse CommonGateResponse(const CImpulseAnalysis& analysis,
                                               const PolarName& name, double referencePeak,
                                               double gateMs,
                                               const std::vector<double>& frequenciesHz);

// The series with its levels smoothed over 1/bands octave (0: as they are); phases untouched.
void SmoothPolarSeries(PolarSeries* series, int bands);

// The level at f [Hz] of response i, smoothed as the series is, read between the grid's points
// linearly in log frequency; relative to the 0 degree response of its plane when normalized
// (NaN when that plane has none).
[[nodiscard]] double PolarLevelDb(const PolarSeries& series, size_t index, double frequencyHz,
                                  bool normalized);

// The FRD text of response i: "*" comments (series, plane and angle, range, gate and its
// validity, the common time axis, smoothing), then "frequency_hz level_db phase_deg" lines.
[[nodiscard]] std::string FormatPolarFrd(const PolarSeries& series, size_t index);

}  // namespace quorvel

#pragma once

#include <complex>
#include <span>
#include <string>

namespace quorvel {

// The equaliser's filters: second-order sections by the audio-EQ-cookbook formulas (Robert
// Bristow-Johnson), computed in double precision at the sample rate the equaliser runs at.
// The shelves keep the slope S = 1, which is Q 0.7071: PipeWire 0.3.65's bq_lowshelf and
// bq_highshelf ignore the Q they are given and use that slope, so every format written from a
// filter set plays the same shelves.

inline constexpr double kEqSampleRateHz = 48000.0;
// The shelves' Q, as written in every format. [1]
inline constexpr double kShelfQ = 0.7071;

enum class EqFilterType { kPeaking, kLowShelf, kHighShelf };

struct EqFilter {
  EqFilterType type = EqFilterType::kPeaking;
  double frequencyHz = 1000.0;  // centre (peaking) or corner (shelves: half the gain)
  double gainDb = 0.0;
  double q = 1.0;  // peaking: centre / bandwidth between the half-gain points; shelves: kShelfQ
};

// "PK", "LSC", "HSC": the filter's short name as Equalizer APO writes it.
[[nodiscard]] const char* FilterTypeName(EqFilterType type);

// Coefficients normalised to a0 = 1:
// y[n] = b0 x[n] + b1 x[n-1] + b2 x[n-2] - a1 y[n-1] - a2 y[n-2].
struct BiquadCoefficients {
  double b0 = 1.0, b1 = 0.0, b2 = 0.0, a1 = 0.0, a2 = 0.0;
};

// The biquad of `filter` at `sampleRateHz`. As PipeWire 0.3.65 computes them at the edges: a
// high shelf at 0 Hz (or below) is a plain gain of gainDb, a low shelf there does nothing; a
// frequency at or above the Nyquist frequency makes a low shelf a plain gain and the others
// do nothing.
[[nodiscard]] BiquadCoefficients MakeBiquad(const EqFilter& filter,
                                            double sampleRateHz = kEqSampleRateHz);

// The complex response H(e^jw) of `coefficients` at `frequencyHz`.
[[nodiscard]] std::complex<double> BiquadResponse(const BiquadCoefficients& coefficients,
                                                  double frequencyHz,
                                                  double sampleRateHz = kEqSampleRateHz);

// The gain of one filter at `frequencyHz`. [dB]
[[nodiscard]] double FilterGainDb(const EqFilter& filter, double frequencyHz,
                                  double sampleRateHz = kEqSampleRateHz);

// The gain of the filters in cascade at `frequencyHz` (the sum of their gains in dB). [dB]
[[nodiscard]] double CascadeGainDb(std::span<const EqFilter> filters, double frequencyHz,
                                   double sampleRateHz = kEqSampleRateHz);

}  // namespace quorvel

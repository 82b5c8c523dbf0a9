#pragma once

// Lining impulse responses up in time to a small fraction of a sample, for the vector average:
// the cross-correlation's largest value, refined between samples by reading the correlation
// from its spectrum (band-limited interpolation: exact for responses that hold nothing above
// half the rate, where a parabola through three samples is off by up to a tenth of a sample,
// 36 degrees at 10 kHz).
//
// The responses are windows of equal length (TraceTiming::impulse, counted from their peak
// samples). Plain C++; FFTW does the transforms.
#include <span>
#include <vector>

namespace quorvel {

// The delay [samples] of `other` after `reference`: other(t) is most like reference(t - delay)
// (the largest positive cross-correlation; a response of the opposite polarity is not turned
// over). 0 when either is silent.
[[nodiscard]] double ImpulseDelaySamples(std::span<const double> reference,
                                         std::span<const double> other);

struct MeanImpulse {
  std::vector<double> samples;  // the windows' length, on the windows' sample grid
  // where it peaks [samples from the windows' first sample]: a parabola through the magnitudes
  // of the largest sample and its neighbours, as the impulse-response analysis times a response
  double peak = 0.0;
};

// The mean of the windows, window i advanced by advances[i] samples (a fraction of a sample
// included, through its spectrum), and where the mean peaks.
[[nodiscard]] MeanImpulse AlignedMeanImpulse(const std::vector<std::span<const double>>& windows,
                                             std::span<const double> advances);

}  // namespace quorvel

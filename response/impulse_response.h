#pragma once

// A linear impulse response as the views of a response take it (group delay, step response,
// decay spectrum, spectrogram): samples in the transfer's units, where its time reference lies,
// and the band it holds. It comes from an analysis (LinearImpulse) or from anything else that
// has an impulse response (a filter chain, a file).
#include <complex>
#include <vector>

namespace quorvel {

class CImpulseAnalysis;

// The views' input limits, so that no caller (a command-line option, a file) can ask for
// gigabytes or hours: a response's samples and a step response's rows, the levels of a decay
// spectrum or a spectrogram, the samples their transforms take in all (a few seconds' work), and
// any time asked for either side of the peak. Beyond them a view is empty.
inline constexpr double kMaxViewSamples = 2097152.0;         // 2^21: 43.7 s at 48000 Hz
inline constexpr double kMaxViewCells = 4194304.0;           // 2^22
inline constexpr double kMaxViewTransformed = 1073741824.0;  // 2^30
inline constexpr double kMaxViewMs = 10000.0;

struct ImpulseResponse {
  std::vector<double> samples;  // in the transfer's units (a loopback's peak is near 1.0)
  long peakIndex = 0;           // the sample of the time reference, the response's peak
  double peakFraction = 0.0;    // the time reference lies this far after it [samples]
  double rate = 48000.0;        // [Hz]
  double fmin = 0.0;            // the band the response holds [Hz]
  double fmax = 0.0;

  // Whether the views can read it: samples (at most kMaxViewSamples), the peak among them, a
  // sub-sample part of at most one sample, a rate above 0 and at most 768 kHz. A view of a
  // response that is not usable is empty.
  [[nodiscard]] bool Usable() const;

  // The time of sample n after the time reference [ms].
  [[nodiscard]] double TimeMs(long n) const {
    return (static_cast<double>(n - peakIndex) - peakFraction) * 1000.0 / rate;
  }
};

// The ungated linear response of an analysis from beforeMs before its peak to afterMs after it
// (each at most kMaxViewMs; samples beyond the linear response's window are 0), over the
// analysis's range. Empty without a result.
[[nodiscard]] ImpulseResponse LinearImpulse(const CImpulseAnalysis& analysis, double beforeMs,
                                            double afterMs);

// The spectrum of an impulse response, read at any frequency with the time reference at its
// peak: the samples go into one zero-padded transform, whose bins are interpolated. 0 at every
// frequency for a response that is not usable.
class CImpulseSpectrum {
 public:
  explicit CImpulseSpectrum(const ImpulseResponse& response);
  [[nodiscard]] std::complex<double> At(double frequencyHz) const;

 private:
  std::vector<std::complex<double>> m_bins;
  int m_size = 0;
  double m_rate = 48000.0;
  double m_delay = 0.0;  // [samples] from the sample at index 0 to the time reference
};

}  // namespace quorvel

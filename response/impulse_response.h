#pragma once

// A linear impulse response as the views of a response take it (group delay, step response,
// decay spectrum, spectrogram): samples in the transfer's units, where its time reference lies,
// and the band it holds. It comes from an analysis (LinearImpulse) or from anything else that
// has an impulse response (a filter chain, a file).
#include <complex>
#include <vector>

namespace quorvel {

class CImpulseAnalysis;

struct ImpulseResponse {
  std::vector<double> samples;  // in the transfer's units (a loopback's peak is near 1.0)
  long peakIndex = 0;           // the sample of the time reference, the response's peak
  double peakFraction = 0.0;    // the time reference lies this far after it [samples]
  double rate = 48000.0;        // [Hz]
  double fmin = 0.0;            // the band the response holds [Hz]
  double fmax = 0.0;

  // Whether the views can read it: samples, the peak among them, a sub-sample part of at most
  // one sample, a rate above 0 and at most 768 kHz. A view of a response that is not usable is
  // empty.
  [[nodiscard]] bool Usable() const;

  // The time of sample n after the time reference [ms].
  [[nodiscard]] double TimeMs(long n) const {
    return (static_cast<double>(n - peakIndex) - peakFraction) * 1000.0 / rate;
  }
};

// The ungated linear response of an analysis from beforeMs before its peak to afterMs after it
// (samples beyond the linear response's window are 0), over the analysis's range. Empty
// without a result.
[[nodiscard]] ImpulseResponse LinearImpulse(const CImpulseAnalysis& analysis, double beforeMs,
                                            double afterMs);

// The spectrum of an impulse response, read at any frequency with the time reference at its
// peak: the samples go into one zero-padded transform, whose bins are interpolated.
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

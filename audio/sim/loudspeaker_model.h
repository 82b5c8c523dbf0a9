#pragma once

#include <array>
#include <complex>
#include <cstdint>
#include <vector>

#include "audio/sim/piston_directivity.h"

namespace quorvel {

// One second-order section, direct form I: y = b0 x + b1 x1 + b2 x2 - a1 y1 - a2 y2.
struct CBiquad {
  double b0 = 1.0, b1 = 0.0, b2 = 0.0, a1 = 0.0, a2 = 0.0;
  double x1 = 0.0, x2 = 0.0, y1 = 0.0, y2 = 0.0;

  // Audio-EQ-cookbook designs at rate [Hz].
  static CBiquad HighPass(double frequencyHz, double q, double rate);
  static CBiquad LowPass(double frequencyHz, double q, double rate);
  static CBiquad Peak(double frequencyHz, double q, double gainDb, double rate);

  double Process(double x) {
    const double y = b0 * x + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2;
    x2 = x1;
    x1 = x;
    y2 = y1;
    y1 = y;
    return y;
  }
  // |H(e^jw)| in dB at frequencyHz.
  double MagnitudeDb(double frequencyHz, double rate) const;
  // H(e^jw) at frequencyHz.
  std::complex<double> At(double frequencyHz, double rate) const;
};

// The simulated loudspeaker and its measurement microphone: what the output plays reaches the
// input delayed by 3.5 ms, through a 2nd-order Butterworth high-pass at 60 Hz, a +3 dB presence
// peak at 3 kHz (Q 1), a 2nd-order Butterworth low-pass at 18 kHz and a level loss of 10 dB,
// with white noise of -90 dBFS (RMS) added at the microphone. Heard off axis, the loudspeaker
// is a rigid piston in an infinite baffle (audio/sim/piston_directivity.h): its directivity is a
// zero-phase filter inside the delay, so the timing stays the same at every angle; on axis the
// samples are exactly those of a model without it.
//
// Samples are in full-scale units: an input of 1.0 is a 16-bit full-scale output sample, an
// output of 1.0 is a 32-bit full-scale capture sample.
class CLoudspeakerModel {
 public:
  static constexpr double kRate = 48000.0;   // [Hz]
  static constexpr int kDelaySamples = 168;  // 3.5 ms at 48000 Hz
  static constexpr double kHighPassHz = 60.0;
  static constexpr double kHighPassQ = 0.7071067811865476;
  static constexpr double kPeakHz = 3000.0;
  static constexpr double kPeakQ = 1.0;
  static constexpr double kPeakGainDb = 3.0;
  static constexpr double kLowPassHz = 18000.0;
  static constexpr double kLowPassQ = 0.7071067811865476;
  static constexpr double kLevelDb = -10.0;    // level loss, output to microphone
  static constexpr double kNoiseDbfs = -90.0;  // noise floor RMS [dB of full scale]

  // noise: whether the noise floor is added; seed: the noise generator's start value.
  explicit CLoudspeakerModel(bool noise = true, uint32_t seed = 0x2545F491u, double angleDeg = 0.0);

  // One sample through the model. Called on the simulated device's thread; never allocates.
  double Process(double x);
  // The direction from now on, as DesignPistonFir made it. Never allocates (the simulated
  // device's thread takes a new direction between its ticks).
  void SetDirectivity(const PistonFir& fir) { m_fir = fir; }

  // The model's exact magnitude response at frequencyHz: the three filters and the level loss
  // [dB], and heard angleDeg off axis the piston's directivity. The delay and the noise do not
  // change it.
  static double ResponseDb(double frequencyHz, double angleDeg = 0.0);
  // The same as a complex transfer, without the delay: the filters, the level loss and the
  // directivity (real, zero-phase).
  static std::complex<double> Transfer(double frequencyHz, double angleDeg = 0.0);

 private:
  double NextNoise();

  CBiquad m_highPass;
  CBiquad m_peak;
  CBiquad m_lowPass;
  double m_gain;
  double m_noiseAmplitude;  // uniform noise in -a..a has the RMS a / sqrt(3)
  bool m_noise;
  uint32_t m_noiseState;
  // The delay before the directivity filter, which delays by the rest of kDelaySamples.
  std::vector<double> m_delay;
  int m_delayPos = 0;
  PistonFir m_fir;
  // The directivity filter's input: its last kFirLength samples twice over, so that they lie
  // in order from m_firPos on.
  static constexpr int kFirLength = 2 * PistonFir::kHalfLength + 1;
  std::array<double, 2 * kFirLength> m_firInput{};
  int m_firPos = 0;
};

}  // namespace quorvel

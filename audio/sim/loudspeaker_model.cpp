#include "audio/sim/loudspeaker_model.h"

#include <cmath>
#include <complex>

namespace quorvel {

namespace {

constexpr double kPi = 3.14159265358979323846;

double DbToGain(double db) {
  return std::pow(10.0, db / 20.0);
}

}  // namespace

CBiquad CBiquad::HighPass(double frequencyHz, double q, double rate) {
  const double w = 2.0 * kPi * frequencyHz / rate;
  const double alpha = std::sin(w) / (2.0 * q);
  const double cosw = std::cos(w);
  const double a0 = 1.0 + alpha;
  CBiquad s;
  s.b0 = (1.0 + cosw) / 2.0 / a0;
  s.b1 = -(1.0 + cosw) / a0;
  s.b2 = (1.0 + cosw) / 2.0 / a0;
  s.a1 = -2.0 * cosw / a0;
  s.a2 = (1.0 - alpha) / a0;
  return s;
}

CBiquad CBiquad::LowPass(double frequencyHz, double q, double rate) {
  const double w = 2.0 * kPi * frequencyHz / rate;
  const double alpha = std::sin(w) / (2.0 * q);
  const double cosw = std::cos(w);
  const double a0 = 1.0 + alpha;
  CBiquad s;
  s.b0 = (1.0 - cosw) / 2.0 / a0;
  s.b1 = (1.0 - cosw) / a0;
  s.b2 = (1.0 - cosw) / 2.0 / a0;
  s.a1 = -2.0 * cosw / a0;
  s.a2 = (1.0 - alpha) / a0;
  return s;
}

CBiquad CBiquad::Peak(double frequencyHz, double q, double gainDb, double rate) {
  const double a = std::pow(10.0, gainDb / 40.0);
  const double w = 2.0 * kPi * frequencyHz / rate;
  const double alpha = std::sin(w) / (2.0 * q);
  const double cosw = std::cos(w);
  const double a0 = 1.0 + alpha / a;
  CBiquad s;
  s.b0 = (1.0 + alpha * a) / a0;
  s.b1 = -2.0 * cosw / a0;
  s.b2 = (1.0 - alpha * a) / a0;
  s.a1 = -2.0 * cosw / a0;
  s.a2 = (1.0 - alpha / a) / a0;
  return s;
}

double CBiquad::MagnitudeDb(double frequencyHz, double rate) const {
  return 20.0 * std::log10(std::abs(At(frequencyHz, rate)));
}

std::complex<double> CBiquad::At(double frequencyHz, double rate) const {
  const double w = 2.0 * kPi * frequencyHz / rate;
  const std::complex<double> z1 = std::polar(1.0, -w);
  const std::complex<double> z2 = z1 * z1;
  return (b0 + b1 * z1 + b2 * z2) / (1.0 + a1 * z1 + a2 * z2);
}

CLoudspeakerModel::CLoudspeakerModel(bool noise, uint32_t seed, double angleDeg)
    : m_highPass(CBiquad::HighPass(kHighPassHz, kHighPassQ, kRate)),
      m_peak(CBiquad::Peak(kPeakHz, kPeakQ, kPeakGainDb, kRate)),
      m_lowPass(CBiquad::LowPass(kLowPassHz, kLowPassQ, kRate)),
      m_gain(DbToGain(kLevelDb)),
      m_noiseAmplitude(DbToGain(kNoiseDbfs) * std::sqrt(3.0)),
      m_noise(noise),
      m_noiseState(seed != 0 ? seed : 1u),
      m_delay(kDelaySamples - PistonFir::kHalfLength, 0.0),
      m_fir(DesignPistonFir(angleDeg, kRate)) {}

double CLoudspeakerModel::NextNoise() {
  // xorshift32: a uniform value in -1..1.
  m_noiseState ^= m_noiseState << 13;
  m_noiseState ^= m_noiseState >> 17;
  m_noiseState ^= m_noiseState << 5;
  return static_cast<double>(m_noiseState) / 2147483648.0 - 1.0;
}

double CLoudspeakerModel::Process(double x) {
  const double early = m_delay[static_cast<size_t>(m_delayPos)];
  m_delay[static_cast<size_t>(m_delayPos)] = x;
  if (++m_delayPos == static_cast<int>(m_delay.size())) m_delayPos = 0;
  // The directivity filter, centred kHalfLength samples back: on axis that sample itself.
  m_firInput[static_cast<size_t>(m_firPos)] = early;
  m_firInput[static_cast<size_t>(m_firPos + kFirLength)] = early;
  if (++m_firPos == kFirLength) m_firPos = 0;
  const double* window = m_firInput.data() + m_firPos;  // oldest first
  constexpr int kCentre = PistonFir::kHalfLength;
  double delayed = window[kCentre];
  if (!m_fir.onAxis) {
    delayed *= m_fir.taps[0];
    for (int n = 1; n <= kCentre; ++n) {
      delayed += m_fir.taps[static_cast<size_t>(n)] * (window[kCentre - n] + window[kCentre + n]);
    }
  }
  double y = m_lowPass.Process(m_peak.Process(m_highPass.Process(delayed))) * m_gain;
  if (m_noise) y += NextNoise() * m_noiseAmplitude;
  return y;
}

double CLoudspeakerModel::ResponseDb(double frequencyHz, double angleDeg) {
  const double directivity =
      angleDeg != 0.0 ? 20.0 * std::log10(std::abs(PistonDirectivity(frequencyHz, angleDeg))) : 0.0;
  return CBiquad::HighPass(kHighPassHz, kHighPassQ, kRate).MagnitudeDb(frequencyHz, kRate) +
         CBiquad::Peak(kPeakHz, kPeakQ, kPeakGainDb, kRate).MagnitudeDb(frequencyHz, kRate) +
         CBiquad::LowPass(kLowPassHz, kLowPassQ, kRate).MagnitudeDb(frequencyHz, kRate) + kLevelDb +
         directivity;
}

std::complex<double> CLoudspeakerModel::Transfer(double frequencyHz, double angleDeg) {
  return CBiquad::HighPass(kHighPassHz, kHighPassQ, kRate).At(frequencyHz, kRate) *
         CBiquad::Peak(kPeakHz, kPeakQ, kPeakGainDb, kRate).At(frequencyHz, kRate) *
         CBiquad::LowPass(kLowPassHz, kLowPassQ, kRate).At(frequencyHz, kRate) *
         (DbToGain(kLevelDb) * PistonDirectivity(frequencyHz, angleDeg));
}

}  // namespace quorvel

// The impulse-response analysis on simulated loudspeakers whose response is known exactly: the
// generated signal is played offline through a chain, delayed, quantised to 16 bits as a capture
// file holds it, and cut where a capture's recording starts and ends.
#include "response/impulse_analysis.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdio>
#include <memory>
#include <vector>

#include "audio/sim/loudspeaker_model.h"
#include "engine/audio_engine.h"

namespace quorvel {

namespace {

using Complex = std::complex<double>;
constexpr double kPi = 3.14159265358979323846;
constexpr double kRate = 48000.0;

Complex BiquadAt(const CBiquad& s, double f) {
  const Complex z1 = std::polar(1.0, -2.0 * kPi * f / kRate);
  return (s.b0 + z1 * (s.b1 + z1 * s.b2)) / (1.0 + z1 * (s.a1 + z1 * s.a2));
}

// A simulated loudspeaker: the built-in model or biquads, then a reflection, then a memoryless
// polynomial x + a2 x^2 + a3 x^3 of the signal times `drive` (1.0: 16-bit full scale).
struct Chain {
  bool model = false;
  double angleDeg = 0.0;  // the built-in model's direction
  std::vector<CBiquad> filters{};
  double reflection = 0.0;  // gain of a copy delayed by reflectionDelay samples
  int reflectionDelay = 0;
  double drive = 1.0, a2 = 0.0, a3 = 0.0;

  // The exact transfer from played to recorded samples, without the latency (a sine of full
  // amplitude for the polynomial's linear part).
  Complex At(double f, bool direct = false) const {
    using M = CLoudspeakerModel;
    Complex h = model
                    ? std::pow(10.0, M::kLevelDb / 20.0) *
                          BiquadAt(CBiquad::HighPass(M::kHighPassHz, M::kHighPassQ, kRate), f) *
                          BiquadAt(CBiquad::Peak(M::kPeakHz, M::kPeakQ, M::kPeakGainDb, kRate), f) *
                          BiquadAt(CBiquad::LowPass(M::kLowPassHz, M::kLowPassQ, kRate), f)
                    : Complex(1.0);
    for (const CBiquad& s : filters) h *= BiquadAt(s, f);
    if (!direct) h *= 1.0 + reflection * std::polar(1.0, -2.0 * kPi * f * reflectionDelay / kRate);
    return h * drive * (1.0 + 0.75 * a3 * drive * drive) * 32768.0 / 32767.0;
  }

  // The recording of the signal for fmin..fmax, heard `latency` samples late.
  std::vector<int16_t> Record(double fmin, double fmax, int latency) const {
    auto audio = std::make_unique<CAudio>();
    const int length = audio->GenerateSweep(fmin, fmax);
    // A capture starts about 1000 samples before the signal (25440 before the end of the block
    // in which the burst was found) and ends about 2000 samples into the tail (as heard).
    const int start = -1000;
    std::vector<int16_t> recording(static_cast<size_t>(length - 9601 + 2000 - start + latency));
    CLoudspeakerModel speaker(true, 0x2545F491u, angleDeg);
    std::vector<double> filtered(recording.size(), 0.0);
    std::vector<CBiquad> sections = filters;
    for (size_t n = 0; n < recording.size(); ++n) {
      const long at = static_cast<long>(n) + start - latency;
      double x = at >= 0 && at < length ? audio->Sweep()[at] / 32767.0 : 0.0;
      if (model) x = speaker.Process(x);
      for (CBiquad& s : sections) x = s.Process(x);
      filtered[n] = x;
      if (n >= static_cast<size_t>(reflectionDelay))
        x += reflection * filtered[n - reflectionDelay];
      x *= drive;
      const double y = std::clamp((x + a2 * x * x + a3 * x * x * x) * 32768.0, -32768.0, 32767.0);
      recording[n] = static_cast<int16_t>(y);  // toward zero, as the record track keeps it
    }
    return recording;
  }
};

struct Case {
  const char* what;
  double fmin, fmax;
  int latency;
  Chain chain;
  double gateMs;  // > 0: the gated response is checked against the direct sound's
};

// Level (dB) and phase (after the fitted delay, degrees) errors between 2.5 fmin and the lower of
// 0.75 fmax and 15 kHz, and the gated level error from 1 to 12 kHz.
void ExpectAccurate(CImpulseAnalysis& analysis, const Case& c) {
  std::vector<double> freqs, phaseDiff;
  double worstLevel = 0.0, worstPhase = 0.0, worstGated = 0.0;
  const double top = std::min(0.75 * c.fmax, 15000.0);
  for (double f = 2.5 * c.fmin; f <= top; f *= std::exp2(1.0 / 48.0)) {
    const LevelPhase at = analysis.ResponseAt(f);
    const Complex h = c.chain.At(f);
    worstLevel = std::max(worstLevel, std::abs(at.levelDb - 20.0 * std::log10(std::abs(h))));
    double d = at.phaseDeg - std::arg(h) * 180.0 / kPi;
    d -= 360.0 * std::round((d - (phaseDiff.empty() ? 0.0 : phaseDiff.back())) / 360.0);
    freqs.push_back(f);
    phaseDiff.push_back(d);
  }
  // The pure delay that fits the phase difference best (least squares through 0 Hz).
  double num = 0.0, den = 0.0;
  for (size_t i = 0; i < freqs.size(); ++i) {
    num += freqs[i] * phaseDiff[i];
    den += freqs[i] * freqs[i];
  }
  for (size_t i = 0; i < freqs.size(); ++i) {
    const double residual = phaseDiff[i] - num / den * freqs[i];
    worstPhase = std::max(worstPhase, std::abs(residual - 360.0 * std::round(residual / 360.0)));
  }
  if (c.gateMs > 0.0) {
    analysis.SetGate(c.gateMs);
    for (double f = 1000.0; f <= 12000.0; f *= std::exp2(1.0 / 48.0)) {
      const double direct = 20.0 * std::log10(std::abs(c.chain.At(f, true)));
      worstGated = std::max(worstGated, std::abs(analysis.ResponseAt(f).levelDb - direct));
    }
    analysis.SetGate(0.0);
  }
  EXPECT_LE(worstLevel, 0.1) << c.what;
  EXPECT_LE(worstPhase, 2.0) << c.what;
  EXPECT_LE(worstGated, 0.5) << c.what;
  std::printf("%s: level %.4f dB, phase %.3f deg, gated %.4f dB\n", c.what, worstLevel, worstPhase,
              worstGated);
}

// H2 and H3 of the polynomial from 100 Hz to 5 kHz, within the range (k f up to fmax, and from 5%
// above fmin, where the harmonics' own sweep starts): a2 A^2 / 2 and a3 A^3 / 4 for a sine of
// amplitude A, relative to the played amplitude.
void ExpectHarmonics(const CImpulseAnalysis& analysis, const Case& c) {
  const double a = c.chain.drive;
  const double expected[2] = {20.0 * std::log10(c.chain.a2 * a * a / 2.0),
                              20.0 * std::log10(c.chain.a3 * a * a * a / 4.0)};
  for (int k = 2; k <= 3; ++k) {
    double worst = 0.0;
    for (double f = std::max(100.0, 1.05 * c.fmin); f <= std::min(5000.0, c.fmax / k); f *= 1.01) {
      worst = std::max(worst, std::abs(analysis.HarmonicDb(k, f) - expected[k - 2]));
    }
    EXPECT_LE(worst, 1.0) << c.what << " H" << k;
    std::printf("%s: H%d %.3f dB\n", c.what, k, worst);
  }
}

TEST(ImpulseAnalysis, MeasuresSimulatedLoudspeakersWithinTheirTolerances) {
  Chain model{.model = true};
  Chain shaped{
      .filters = {CBiquad::HighPass(80.0, 0.7, kRate), CBiquad::Peak(1000.0, 2.0, 6.0, kRate),
                  CBiquad::LowPass(4000.0, 0.9, kRate)},
      .reflection = -0.3,
      .reflectionDelay = 120,
      .drive = 0.3};  // +8.4 dB at most: kept below full scale
  Chain reflected{
      .filters = {CBiquad::Peak(2500.0, 1.5, -4.0, kRate), CBiquad::LowPass(16000.0, 0.7, kRate)},
      .reflection = 0.5,
      .reflectionDelay = 192,  // 4 ms after the direct sound
      .drive = 0.6};
  // Its harmonics above 24 kHz alias into falling sweeps that the deconvolution spreads over the
  // impulse response (analog distortion before a converter does not): near 12-16 kHz they move
  // the level by up to twice H2's share, here -47 dB (0.08 dB).
  Chain polynomial{.drive = 0.3, .a2 = 0.1, .a3 = 0.1};
  const Case cases[] = {
      {"built-in model, 20-20000 Hz", 20.0, 20000.0, 0, model, 0.0},
      {"built-in model, 10-24000 Hz", 10.0, 24000.0, 2400, model, 0.0},
      {"biquads and a reflection, 50-5000 Hz", 50.0, 5000.0, 37, shaped, 0.0},
      {"reflection after 4 ms, 3.5 ms gate", 20.0, 20000.0, 5, reflected, 3.5},
      {"polynomial, 20-20000 Hz", 20.0, 20000.0, 480, polynomial, 0.0},
      // the burst's 2637 Hz tone would land on H2 at 1318 Hz if it stayed in the recording
      {"polynomial, 1250-20000 Hz", 1250.0, 20000.0, 11, polynomial, 0.0},
      // farther from where a capture holds the signal than the coarse alignment looks
      {"polynomial, 1250-20000 Hz, heard 3 s late", 1250.0, 20000.0, 144000, polynomial, 0.0},
  };
  CImpulseAnalysis analysis;  // one object for all: its plans and buffers are reused
  for (const Case& c : cases) {
    const std::vector<int16_t> recording = c.chain.Record(c.fmin, c.fmax, c.latency);
    ASSERT_EQ(analysis.Analyze(recording.data(), recording.size(), c.fmin, c.fmax),
              ResponseStatus::kOk)
        << c.what;
    ExpectAccurate(analysis, c);
    if (c.chain.a2 != 0.0) ExpectHarmonics(analysis, c);
  }
}

// Off axis, the built-in model reads its piston's directivity, 20 log10 |D|, relative to its axis.
TEST(ImpulseAnalysis, SimulatedLoudspeakerOffAxisReadsThePistonsDirectivity) {
  CImpulseAnalysis axis, off;
  const std::vector<int16_t> onAxis = Chain{.model = true}.Record(20.0, 20000.0, 0);
  ASSERT_EQ(axis.Analyze(onAxis.data(), onAxis.size(), 20.0, 20000.0), ResponseStatus::kOk);
  for (const double angle : {30.0, 60.0}) {
    const std::vector<int16_t> recording =
        Chain{.model = true, .angleDeg = angle}.Record(20.0, 20000.0, 0);
    ASSERT_EQ(off.Analyze(recording.data(), recording.size(), 20.0, 20000.0), ResponseStatus::kOk);
    double worst = 0.0;
    for (double f = 300.0; f <= 15000.0; f *= std::exp2(1.0 / 48.0)) {
      const double d = CLoudspeakerModel::ResponseDb(f, angle) - CLoudspeakerModel::ResponseDb(f);
      if (d < -40.0) continue;  // the bottoms of the nulls, minus infinity at the null itself
      const double read = off.ResponseAt(f).levelDb - axis.ResponseAt(f).levelDb;
      worst = std::max(worst, std::abs(read - d));
    }
    EXPECT_LE(worst, 0.5) << angle;
    std::printf("%.0f degrees: directivity %.4f dB\n", angle, worst);
  }
}

TEST(ImpulseAnalysis, RefusesNoiseAndBadRanges) {
  std::vector<int16_t> noise(1040000);
  uint32_t state = 12345;
  for (int16_t& s : noise) {
    state = state * 1664525u + 1013904223u;
    s = static_cast<int16_t>(static_cast<int>(state >> 20) - 2048);
  }
  CImpulseAnalysis analysis;
  EXPECT_EQ(analysis.Analyze(noise.data(), noise.size(), 20.0, 20000.0),
            ResponseStatus::kNoImpulse);
  EXPECT_TRUE(std::isnan(analysis.ResponseAt(1000.0).levelDb));
  std::fill(noise.begin(), noise.end(), 0);
  EXPECT_EQ(analysis.Analyze(noise.data(), noise.size(), 20.0, 20000.0),
            ResponseStatus::kNoImpulse);
  EXPECT_EQ(analysis.Analyze(noise.data(), noise.size(), 200.0, 100.0),
            ResponseStatus::kRangeRefused);
  EXPECT_EQ(analysis.Analyze(noise.data(), noise.size(), 20.0, 30000.0),
            ResponseStatus::kRangeRefused);
}

// One object analyses recordings of several ranges in turn, at other latencies and one cut
// shorter (its division by a reference cut alike), over more ranges than it keeps signals for,
// and answers each exactly as a new object does; so does one that leaves the harmonics out,
// which answers no harmonic.
TEST(ImpulseAnalysis, OneObjectForManyRangesAnswersAsNewOnes) {
  const struct {
    double fmin, fmax;
    int latency;
    size_t cut;  // samples cut off the recording's end
  } takes[] = {{20, 20000, 240, 0}, {20, 20000, 1200, 0}, {20, 20000, 240, 400},
               {100, 5000, 240, 0}, {50, 16000, 240, 0},  {200, 10000, 240, 0},
               {20, 20000, 600, 0}, {50, 16000, 900, 0},  {50, 10000, 240, 0}};
  const Chain chain{.model = true};
  CImpulseAnalysis reused;
  CImpulseAnalysis linear;
  linear.SetHarmonicsWanted(false);
  for (const auto& take : takes) {
    std::vector<int16_t> recording = chain.Record(take.fmin, take.fmax, take.latency);
    recording.resize(recording.size() - take.cut);
    CImpulseAnalysis fresh;
    ASSERT_EQ(fresh.Analyze(recording.data(), recording.size(), take.fmin, take.fmax),
              ResponseStatus::kOk);
    ASSERT_EQ(reused.Analyze(recording.data(), recording.size(), take.fmin, take.fmax),
              ResponseStatus::kOk);
    ASSERT_EQ(linear.Analyze(recording.data(), recording.size(), take.fmin, take.fmax),
              ResponseStatus::kOk);
    EXPECT_EQ(reused.PeakPosition(), fresh.PeakPosition()) << take.fmin << " " << take.cut;
    EXPECT_EQ(linear.PeakPosition(), fresh.PeakPosition()) << take.fmin << " " << take.cut;
    for (double f = take.fmin; f <= take.fmax; f *= 1.05) {
      EXPECT_EQ(reused.ResponseAt(f).levelDb, fresh.ResponseAt(f).levelDb) << f;
      EXPECT_EQ(reused.ResponseAt(f).phaseDeg, fresh.ResponseAt(f).phaseDeg) << f;
      EXPECT_EQ(linear.ResponseAt(f).levelDb, fresh.ResponseAt(f).levelDb) << f;
      EXPECT_EQ(linear.ResponseAt(f).phaseDeg, fresh.ResponseAt(f).phaseDeg) << f;
      if (2 * f <= take.fmax) {
        EXPECT_EQ(reused.HarmonicDb(2, f), fresh.HarmonicDb(2, f)) << f;
        EXPECT_TRUE(std::isnan(linear.HarmonicDb(2, f))) << f;
      }
    }
  }
}

}  // namespace

}  // namespace quorvel

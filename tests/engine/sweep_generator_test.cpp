// The playback signal: layout, burst, lead-in, the sweep's frequency along its course, tail,
// and refused or extreme ranges.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <memory>

#include "engine/audio_engine.h"
#include "engine/sweep_signal.h"
#include "tests/engine/engine_probe.h"

namespace quorvel {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr int kRate = 48000;
constexpr int kLeadStart = 72000;  // silence, burst, silence before the lead-in [samples]
constexpr int kTail = 9601;        // [samples]
constexpr int kSweepSteps = 960000;

// Frequency [Hz] of a signal stretch from the spacing of its rising zero crossings (crossing
// positions interpolated linearly between samples).
double CrossingFrequency(const int16_t* x, int from, int to) {
  double first = -1.0;
  double last = -1.0;
  int crossings = 0;
  for (int i = from + 1; i < to; ++i) {
    if (x[i - 1] < 0 && x[i] >= 0) {
      const double t = (i - 1) + static_cast<double>(-x[i - 1]) / (x[i] - x[i - 1]);
      if (crossings == 0) first = t;
      last = t;
      ++crossings;
    }
  }
  if (crossings < 2) return 0.0;
  return (crossings - 1) * static_cast<double>(kRate) / (last - first);
}

// Amplitude of the component at f [Hz] in x[0..n) (single-bin discrete Fourier transform).
double ToneAmplitude(const int16_t* x, int n, double f) {
  double re = 0.0;
  double im = 0.0;
  for (int i = 0; i < n; ++i) {
    const double w = 2.0 * kPi * f * i / kRate;
    re += x[i] * std::cos(w);
    im += x[i] * std::sin(w);
  }
  return 2.0 * std::hypot(re, im) / n;
}

// One table-oscillator sample value at phase (in entries of a 12000-entry cycle), computed
// from sines directly: linear interpolation between the two neighbouring entries.
double TableValue(double phase) {
  const int i = static_cast<int>(phase);
  const double a = std::sin(i * 2.0 * kPi / 12000.0);
  const double b = std::sin((i + 1) * 2.0 * kPi / 12000.0);
  return a + (b - a) * (phase - i);
}

class SweepGeneratorTest : public ::testing::Test {
 protected:
  std::unique_ptr<CAudio> m_audio = std::make_unique<CAudio>();
};

// ---- signal layout and the burst ----

TEST_F(SweepGeneratorTest, FullRangeLayoutHasSilenceBurstSilenceLeadInSweepAndTail) {
  const int length = m_audio->GenerateSweep(20.0, 20000.0);
  // 72000 + 2400 lead-in + 960,001 sweep samples + 9601 tail.
  ASSERT_EQ(length, 1044002);
  EXPECT_EQ(static_cast<int>(m_audio->Sweep().size()), length);
  EXPECT_EQ(m_audio->Counters().sweepPos, 0);
  EXPECT_EQ(CAudioProbe::SampleRate(*m_audio), 48000);

  for (int i = 0; i < 24000; ++i) ASSERT_EQ(m_audio->Sweep()[i], 0) << "sample " << i;
  for (int i = 0; i < 24000; ++i) {
    ASSERT_EQ(m_audio->Sweep()[24000 + i], m_audio->SyncBurst()[i]) << "burst sample " << i;
  }
  for (int i = 48000; i < 72000; ++i) ASSERT_EQ(m_audio->Sweep()[i], 0) << "sample " << i;
  // The lead-in (2400 samples, one period of 20 Hz) starts at phase 0 and is not silent.
  EXPECT_EQ(m_audio->Sweep()[kLeadStart], 0);
  EXPECT_GT(m_audio->Sweep()[kLeadStart + 600], 32700);    // quarter period: the crest
  EXPECT_LT(m_audio->Sweep()[kLeadStart + 1800], -32700);  // three quarters: the trough
  // Nothing is written past the signal's end.
  const int16_t* buffer = CAudioProbe::SignalBuffer(*m_audio);
  for (int i = length; i < CAudio::kSweepCapacity; i += 997) ASSERT_EQ(buffer[i], 0);
}

TEST_F(SweepGeneratorTest, SyncBurstStartsAtZeroStaysInRangeAndHoldsItsThreeTones) {
  ASSERT_GT(m_audio->GenerateSweep(20.0, 20000.0), 0);
  const int16_t* burst = m_audio->SyncBurst().data();
  EXPECT_EQ(burst[0], 0);
  int peak = 0;
  for (int i = 0; i < CAudio::kBurstLength; ++i) {
    ASSERT_GE(burst[i], -32767);
    ASSERT_LE(burst[i], 32767);
    peak = std::max(peak, std::abs(static_cast<int>(burst[i])));
  }
  EXPECT_GT(peak, 25000);  // the three tones do add up

  // Each tone carries a third of full scale; elsewhere there is next to nothing.
  const double third = 32767.0 / 3.0;
  for (double f : {1567.98, 2637.02, 4186.01}) {
    EXPECT_NEAR(ToneAmplitude(burst, CAudio::kBurstLength, f), third, 0.01 * third) << f << " Hz";
  }
  for (double f : {1000.0, 2000.0, 3300.0, 6000.0}) {
    EXPECT_LT(ToneAmplitude(burst, CAudio::kBurstLength, f), 0.01 * third) << f << " Hz";
  }
}

TEST_F(SweepGeneratorTest, SineTableHoldsOneCycleClosedByItsLastEntry) {
  ASSERT_GT(m_audio->GenerateSweep(20.0, 20000.0), 0);
  const double* table = CAudioProbe::SineTable(*m_audio);
  EXPECT_EQ(table[0], 0.0);
  EXPECT_EQ(table[3000], 1.0);
  EXPECT_EQ(table[9000], -1.0);
  EXPECT_NEAR(table[12000], 0.0, 1e-12);
  for (int i = 0; i <= 12000; i += 7) {
    ASSERT_NEAR(table[i], std::sin(i * 2.0 * kPi / 12000.0), 1e-15) << "entry " << i;
  }
}

// ---- lead-in and the start of the sweep ----

TEST_F(SweepGeneratorTest, LeadInIsOnePeriodOfFmin1000Hz) {
  const int length = m_audio->GenerateSweep(1000.0, 20000.0);
  const int leadIn = 48;  // one cycle of 1000 Hz at 48000 Hz
  const int sweepSamples = length - kLeadStart - leadIn - kTail;
  EXPECT_TRUE(sweepSamples == kSweepSteps || sweepSamples == kSweepSteps + 1) << sweepSamples;
  // One full cycle: crest at 12, trough at 36.
  EXPECT_EQ(m_audio->Sweep()[kLeadStart], 0);
  EXPECT_EQ(m_audio->Sweep()[kLeadStart + 12], 32767);
  EXPECT_EQ(m_audio->Sweep()[kLeadStart + 36], -32767);
  EXPECT_LT(m_audio->Sweep()[kLeadStart + 47], 0);
  // The sweep starts again at phase 0; its sample 1 is the table at fmin / 4 = 250 entries.
  EXPECT_EQ(m_audio->Sweep()[kLeadStart + leadIn], 0);
  EXPECT_EQ(m_audio->Sweep()[kLeadStart + leadIn + 1],
            static_cast<int16_t>(TableValue(250.0) * 32767.0));
}

TEST_F(SweepGeneratorTest, LeadInIsOnePeriodOfFmin7Hz) {
  const int length = m_audio->GenerateSweep(7.0, 7000.0);
  const int leadIn = 6857;  // 48000 / 7, truncated
  const int sweepSamples = length - kLeadStart - leadIn - kTail;
  EXPECT_TRUE(sweepSamples == kSweepSteps || sweepSamples == kSweepSteps + 1) << sweepSamples;
  // The lead-in's last sample lies just before the end of its cycle (phase 11998.25).
  EXPECT_EQ(m_audio->Sweep()[kLeadStart + leadIn - 1],
            static_cast<int16_t>(TableValue(6856 * 1.75) * 32767.0));
  EXPECT_LT(m_audio->Sweep()[kLeadStart + leadIn - 1], 0);
  EXPECT_GT(m_audio->Sweep()[kLeadStart + leadIn / 4], 32760);
  // The sweep's first two samples: phase 0, then the table at 7 / 4 = 1.75 entries.
  EXPECT_EQ(m_audio->Sweep()[kLeadStart + leadIn], 0);
  EXPECT_EQ(m_audio->Sweep()[kLeadStart + leadIn + 1],
            static_cast<int16_t>(TableValue(1.75) * 32767.0));
}

// ---- instantaneous frequency along the sweep ----

TEST_F(SweepGeneratorTest, SweepFrequencyFollowsTheLogarithmicLawFromFminToFmax) {
  struct Range {
    double fmin;
    double fmax;
  };
  for (Range range : {Range{20.0, 20000.0}, Range{100.0, 10000.0}, Range{50.0, 5000.0}}) {
    SCOPED_TRACE(testing::Message() << range.fmin << ".." << range.fmax << " Hz");
    const int length = m_audio->GenerateSweep(range.fmin, range.fmax);
    const int sweepStart = kLeadStart + static_cast<int>(48000.0 / range.fmin);
    const int16_t* x = m_audio->Sweep().data();
    auto expectedAt = [&](double i) {  // f at sweep sample i
      return range.fmin * std::pow(range.fmax / range.fmin, i / kSweepSteps);
    };

    // Near the start: the first 9600 samples, where the frequency has barely risen above fmin.
    const double startF = CrossingFrequency(x, sweepStart, sweepStart + 9600);
    EXPECT_NEAR(startF, range.fmin, 0.05 * range.fmin);
    EXPECT_NEAR(startF, expectedAt(4800), 0.02 * expectedAt(4800));

    // In the middle and at three quarters.
    for (int at : {480000, 720000}) {
      const double f = CrossingFrequency(x, sweepStart + at - 2400, sweepStart + at + 2400);
      EXPECT_NEAR(f, expectedAt(at), 0.005 * expectedAt(at)) << "at sweep sample " << at;
    }

    // The tail holds the last sweep frequency, about fmax.
    const double tailF = CrossingFrequency(x, length - kTail, length);
    EXPECT_NEAR(tailF, range.fmax, 0.005 * range.fmax);
  }
}

TEST_F(SweepGeneratorTest, TailContinuesTheSweepWithoutAPhaseJump) {
  const int length = m_audio->GenerateSweep(20.0, 1000.0);
  const int16_t* x = m_audio->Sweep().data();
  const int boundary = length - kTail;  // first tail sample
  int largestStepInTail = 0;
  for (int i = boundary + 1; i < length; ++i) {
    largestStepInTail = std::max(largestStepInTail, std::abs(x[i] - x[i - 1]));
  }
  // 1000 Hz moves a full-scale sine by at most 32767 * 2 pi * 1000 / 48000 = 4289 per sample.
  EXPECT_LE(largestStepInTail, 4290);
  EXPECT_LE(std::abs(x[boundary] - x[boundary - 1]), largestStepInTail + 1);
  EXPECT_LE(std::abs(x[boundary - 1] - x[boundary - 2]), largestStepInTail + 1);
}

// ---- refused and extreme ranges ----

TEST_F(SweepGeneratorTest, RefusedRangesReturnZeroAndLeaveSilence) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  struct Range {
    double fmin;
    double fmax;
  };
  for (Range range :
       {Range{1000.0, 1000.0}, Range{2000.0, 1000.0}, Range{0.0, 1000.0}, Range{-20.0, 20000.0},
        Range{nan, 20000.0}, Range{20.0, nan}, Range{20.0, inf}, Range{-inf, 20.0}}) {
    SCOPED_TRACE(testing::Message() << range.fmin << ".." << range.fmax);
    ASSERT_GT(m_audio->GenerateSweep(20.0, 20000.0), 0);  // a previous signal to wipe
    CAudioProbe::SweepPos(*m_audio).store(1234);
    EXPECT_EQ(m_audio->GenerateSweep(range.fmin, range.fmax), 0);
    EXPECT_TRUE(m_audio->Sweep().empty());
    EXPECT_EQ(m_audio->Counters().sweepPos, 0);
    int nonZero = 0;
    const int16_t* buffer = CAudioProbe::SignalBuffer(*m_audio);
    for (int i = 0; i < CAudio::kSweepCapacity; ++i) nonZero += buffer[i] != 0;
    EXPECT_EQ(nonZero, 0);
  }
}

TEST_F(SweepGeneratorTest, VeryLowFminIsCutAtTheEndOfTheBuffer) {
  // 0.1 Hz: a lead-in of 480,000 samples, so the sweep runs into the end of the buffer.
  EXPECT_EQ(m_audio->GenerateSweep(0.1, 20000.0), CAudio::kSweepCapacity);
  EXPECT_EQ(static_cast<int>(m_audio->Sweep().size()), CAudio::kSweepCapacity);
  // A lead-in longer than the whole buffer.
  EXPECT_EQ(m_audio->GenerateSweep(1e-300, 1.0), CAudio::kSweepCapacity);
  EXPECT_EQ(m_audio->Sweep()[kLeadStart], 0);
  EXPECT_EQ(m_audio->Sweep()[24000], m_audio->SyncBurst()[0]);
}

TEST_F(SweepGeneratorTest, RangeAboveTheSampleRateStaysInsideTheSineTable) {
  // 100 kHz needs 25000 table entries per sample, more than a whole cycle.
  const int length = m_audio->GenerateSweep(20.0, 100000.0);
  const int sweepSamples = length - kLeadStart - 2400 - kTail;
  EXPECT_TRUE(sweepSamples == kSweepSteps || sweepSamples == kSweepSteps + 1) << sweepSamples;
  // The tail's 100 kHz lands on the table at 25000 - 2 * 12000 = 1000 entries per sample:
  // 4000 Hz.
  const double tailF = CrossingFrequency(m_audio->Sweep().data(), length - kTail, length);
  EXPECT_NEAR(tailF, 4000.0, 20.0);
}

TEST_F(SweepGeneratorTest, UpperLimitWhoseStepOverflowsEndsInSilenceInsideTheTable) {
  // Near 1e308 Hz the step f * 12000 / 48000 overflows to infinity: such a frequency has no
  // phase, so those samples are silent instead of reading the table at a nonsense index.
  const int length = m_audio->GenerateSweep(20.0, 1e308);
  ASSERT_GE(length, kLeadStart + 2400 + kSweepSteps + kTail);
  ASSERT_LE(length, kLeadStart + 2400 + kSweepSteps + 1 + kTail);
  for (int i = length - kTail; i < length; ++i) ASSERT_EQ(m_audio->Sweep()[i], 0) << i;
  // The start of the sweep is untouched by it: 20 Hz rises from phase 0.
  EXPECT_EQ(m_audio->Sweep()[kLeadStart + 2400], 0);
  EXPECT_GT(m_audio->Sweep()[kLeadStart + 2400 + 100], 0);
  // A range lying wholly beyond that: no lead-in (48000 / fmin truncates to 0), silent sweep.
  const int high = m_audio->GenerateSweep(1e306, 1e307);
  ASSERT_GT(high, kLeadStart);
  for (int i = kLeadStart; i < high; ++i) ASSERT_EQ(m_audio->Sweep()[i], 0) << i;
}

TEST_F(SweepGeneratorTest, GeneratingAgainGivesTheSameSignal) {
  const int first = m_audio->GenerateSweep(40.0, 16000.0);
  auto other = std::make_unique<CAudio>();
  ASSERT_GT(other->GenerateSweep(20.0, 20000.0), 0);
  const int second = other->GenerateSweep(40.0, 16000.0);
  ASSERT_EQ(first, second);
  for (int i = 0; i < CAudio::kSweepCapacity; ++i) {
    ASSERT_EQ(m_audio->Sweep()[i], other->Sweep()[i]) << "sample " << i;
  }
}

// The free generator, which the impulse-response analysis uses without an engine, writes what the
// engine plays, and the engine's burst is the signal's.
TEST_F(SweepGeneratorTest, FreeGeneratorWritesTheEnginesSignal) {
  for (const auto& [fmin, fmax] : {std::pair{20.0, 20000.0}, {2.0, 2000.0}, {0.1, 5.0}}) {
    const int length = m_audio->GenerateSweep(fmin, fmax);
    const std::vector<int16_t> signal = GenerateSweep(fmin, fmax);
    ASSERT_EQ(static_cast<int>(signal.size()), length) << fmin;
    EXPECT_TRUE(std::equal(signal.begin(), signal.end(), m_audio->Sweep().begin())) << fmin;
    EXPECT_TRUE(std::equal(m_audio->SyncBurst().begin(), m_audio->SyncBurst().end(),
                           signal.begin() + 24000));
  }
  EXPECT_TRUE(GenerateSweep(100.0, 100.0).empty());
}

}  // namespace

}  // namespace quorvel

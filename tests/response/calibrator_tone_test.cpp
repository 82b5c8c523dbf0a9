// The calibrator's tone check on generated recordings: a clean tone, a tone at the wrong
// frequency, noise, silence and a tone too little above its noise.
#include "response/calibrator_tone.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

namespace quorvel {

namespace {

// Three seconds of a tone of RMS level toneDbfs (none below -200) over white noise of RMS
// noiseDbfs, as 16-bit samples.
std::vector<int16_t> Recording(double hz, double toneDbfs, double noiseDbfs) {
  std::mt19937 random(7);
  std::normal_distribution<double> noise(0.0, 32768.0 * std::pow(10.0, noiseDbfs / 20.0));
  const double amplitude = std::sqrt(2.0) * 32768.0 * std::pow(10.0, toneDbfs / 20.0);
  std::vector<int16_t> samples(144000);
  for (size_t n = 0; n < samples.size(); ++n) {
    samples[n] = static_cast<int16_t>(std::lround(
        amplitude * std::sin(2.0 * M_PI * hz * static_cast<double>(n) / 48000.0) + noise(random)));
  }
  return samples;
}

TEST(CalibratorTone, JudgesWhatWasHeard) {
  struct Case {
    double hz, toneDbfs, noiseDbfs;
    CalibratorVerdict verdict;
    const char* heard;
  } cases[] = {
      {1000.0, -30.0, -90.0, CalibratorVerdict::kTone, ""},
      {500.0, -30.0, -90.0, CalibratorVerdict::kWrongFrequency, "a tone at 500.0 Hz"},
      {1000.0, -300.0, -30.0, CalibratorVerdict::kNoise, "noise"},
      {1000.0, -300.0, -300.0, CalibratorVerdict::kSilence, "silence"},
      {1000.0, -30.0, -50.0, CalibratorVerdict::kTooLittleAbove, "only 20.0 dB above the rest"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.hz);
    SCOPED_TRACE(c.noiseDbfs);
    const CalibratorTone tone = CheckCalibratorTone(Recording(c.hz, c.toneDbfs, c.noiseDbfs), 1000);
    EXPECT_EQ(tone.verdict, c.verdict);
    EXPECT_NE(tone.message.find(c.heard), std::string::npos) << tone.message;
    if (c.verdict == CalibratorVerdict::kTone) {
      EXPECT_TRUE(tone.message.empty());
      EXPECT_NEAR(tone.frequencyHz, 1000.0, 0.5);
      EXPECT_NEAR(tone.rmsDbfs, -30.0, 0.05);
    }
  }
}

}  // namespace

}  // namespace quorvel

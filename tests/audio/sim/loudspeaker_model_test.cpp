// The simulated loudspeaker's model: sines through it come out at the level its response
// function states, delayed by 3.5 ms, over a noise floor near -90 dBFS; and the simulated
// devices carry what is played to the microphone.
#include "audio/sim/loudspeaker_model.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace quorvel {

namespace {

constexpr double kPi = 3.14159265358979323846;

// Steady-state amplitude [dB] of a full-scale sine at f (a whole number of hertz) through a
// noiseless model: sqrt(2) x the RMS over one second, a whole number of periods.
double MeasuredLevelDb(double frequencyHz) {
  CLoudspeakerModel model(false);
  const int settle = 48000;  // 1 s: the 60 Hz high-pass has long settled
  const int measure = 48000;
  double sum = 0.0;
  for (int i = 0; i < settle + measure; ++i) {
    const double y = model.Process(std::sin(2.0 * kPi * frequencyHz * i / 48000.0));
    if (i >= settle) sum += y * y;
  }
  return 10.0 * std::log10(2.0 * sum / measure);
}

TEST(LoudspeakerModel, SinesComeOutAtTheStatedResponse) {
  for (double f : {40.0, 60.0, 100.0, 440.0, 1000.0, 3000.0, 8000.0, 15000.0, 18000.0}) {
    EXPECT_NEAR(MeasuredLevelDb(f), CLoudspeakerModel::ResponseDb(f), 0.01) << f << " Hz";
  }
}

TEST(LoudspeakerModel, ResponseShape) {
  // Level loss in the middle, the presence peak above it, the corners 3 dB down.
  EXPECT_NEAR(CLoudspeakerModel::ResponseDb(1000.0), -10.0, 0.6);
  EXPECT_NEAR(CLoudspeakerModel::ResponseDb(3000.0), -7.0, 0.1);
  EXPECT_NEAR(CLoudspeakerModel::ResponseDb(60.0), -13.0, 0.1);
  EXPECT_LT(CLoudspeakerModel::ResponseDb(20.0), -28.0);
  EXPECT_LT(CLoudspeakerModel::ResponseDb(18000.0), -12.5);
}

TEST(LoudspeakerModel, DelaysByThreePointFiveMilliseconds) {
  CLoudspeakerModel model(false);
  std::vector<double> out;
  for (int i = 0; i < 400; ++i) out.push_back(model.Process(i == 0 ? 1.0 : 0.0));
  for (int i = 0; i < CLoudspeakerModel::kDelaySamples; ++i) EXPECT_EQ(out[i], 0.0) << i;
  EXPECT_NE(out[CLoudspeakerModel::kDelaySamples], 0.0);
  EXPECT_EQ(CLoudspeakerModel::kDelaySamples, 168);
}

TEST(LoudspeakerModel, NoiseFloorNearMinus90Dbfs) {
  CLoudspeakerModel model(true);
  double sum = 0.0;
  const int n = 480000;
  for (int i = 0; i < n; ++i) {
    const double y = model.Process(0.0);
    sum += y * y;
  }
  EXPECT_NEAR(10.0 * std::log10(sum / n), -90.0, 0.2);
}

}  // namespace

}  // namespace quorvel

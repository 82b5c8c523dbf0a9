// The step response of impulse responses whose steps are known: a chain's own output for a step
// at its input, and a direct sound with a reflection (a step at the reflection's delay).
#include "response/step_response.h"

#include <gtest/gtest.h>

#include <cmath>

#include "audio/sim/loudspeaker_model.h"

namespace quorvel {

namespace {

TEST(StepResponse, SettlesAtTheGainAtZeroHertzAndStepsAtEachArrival) {
  // a low-pass chain with a gain of 0.5 at 0 Hz, 100 samples after the response's start
  CBiquad low = CBiquad::LowPass(2000.0, 0.9, 48000.0);
  CBiquad step = low;
  ImpulseResponse chain;
  std::vector<double> expected;  // the chain's output for a step at sample 100
  for (int n = 0; n < 2400; ++n) {
    chain.samples.push_back(0.5 * low.Process(n == 100 ? 1.0 : 0.0));
    expected.push_back(0.5 * step.Process(n >= 100 ? 1.0 : 0.0));
  }
  chain.peakIndex =
      std::max_element(chain.samples.begin(), chain.samples.end()) - chain.samples.begin();
  // the direct sound at 1.0 and a reflection of 0.5, 2 ms later
  ImpulseResponse reflected;
  reflected.samples.assign(2400, 0.0);
  reflected.samples[100] = 1.0;
  reflected.samples[196] = 0.5;
  reflected.peakIndex = 100;

  const std::vector<StepRow> rows = StepResponse(chain);
  ASSERT_EQ(rows.size(), 1009u);  // -1 .. 20 ms
  EXPECT_NEAR(rows.front().timeMs, -1.0, 1e-9);
  EXPECT_NEAR(rows.back().timeMs, 20.0, 1e-9);
  for (const StepRow& row : rows) {
    const long n = chain.peakIndex + std::lround(row.timeMs * 48.0);
    EXPECT_NEAR(row.amplitude, expected[static_cast<size_t>(n)], 1e-12) << row.timeMs;
  }
  EXPECT_NEAR(rows.back().amplitude, 0.5, 1e-6);
  for (const StepRow& row : StepResponse(reflected)) {
    EXPECT_EQ(row.amplitude, row.timeMs < 0.0 ? 0.0 : (row.timeMs < 2.0 ? 1.0 : 1.5)) << row.timeMs;
  }
  // sub-sample time reference, as for the phase: the rows still cover the span
  reflected.peakFraction = 0.25;
  const std::vector<StepRow> late = StepResponse(reflected, 0.0, 1.0);
  EXPECT_NEAR(late.front().timeMs, -0.25 / 48.0, 1e-12);
  EXPECT_NEAR(late.back().timeMs, 48.75 / 48.0, 1e-12);
  EXPECT_TRUE(FormatStepCsv(rows).starts_with("time_ms,amplitude\n-1.0000,0.0000000\n"));
  EXPECT_TRUE(StepResponse(reflected, 3e13, 3e13).empty());  // a year on: beyond the limit
}

}  // namespace

}  // namespace quorvel

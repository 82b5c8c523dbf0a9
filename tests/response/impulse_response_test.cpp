// The views' input limits: a request beyond them gives an empty view at once, one within them a
// whole view.
#include "response/impulse_response.h"

#include <gtest/gtest.h>

#include <cmath>

#include "response/decay_spectrum.h"
#include "response/group_delay.h"
#include "response/spectrogram.h"
#include "response/step_response.h"

namespace quorvel {

namespace {

TEST(ImpulseResponse, ViewsRefuseRequestsBeyondTheirLimits) {
  ImpulseResponse ir{
      .samples = std::vector<double>(4800, 0.0), .peakIndex = 480, .fmin = 20.0, .fmax = 20000.0};
  ir.samples[480] = 1.0;
  ImpulseResponse huge = ir, wide = ir;
  huge.samples.resize(3000000);
  wide.fmin = 1e-300;
  const SpectrogramOptions slow{.stepMs = 0.003, .windowMs = 1000.0, .pointsPerOctave = 1};
  const struct {
    const char* what;
    std::size_t size;
    bool empty;
  } cases[] = {
      {"step", StepResponse(ir).size(), false},
      {"step a year on", StepResponse(ir, 3e13, 3e13).size(), true},
      {"step to NaN", StepResponse(ir, 0.0, std::nan("")).size(), true},
      {"group delay", GroupDelayRows(ir).size(), false},
      {"group delay of 3 M samples", GroupDelayRows(huge).size(), true},
      {"decay", CumulativeDecay(ir).levelDb.size(), false},
      {"decay for a day", CumulativeDecay(ir, {.spanMs = 8.64e7}).levelDb.size(), true},
      {"decay in 10^6 slices", CumulativeDecay(ir, {.slices = 1000000}).levelDb.size(), true},
      {"spectrogram", ImpulseSpectrogram(ir).levelDb.size(), false},
      {"spectrogram a day before", ImpulseSpectrogram(ir, {.fromMs = -8.64e7}).levelDb.size(),
       true},
      {"spectrogram every ns", ImpulseSpectrogram(ir, {.stepMs = 1e-6}).levelDb.size(), true},
      {"spectrogram of 1 s windows", ImpulseSpectrogram(ir, slow).levelDb.size(), true},
      {"spectrogram from 1e-300 Hz", ImpulseSpectrogram(wide).levelDb.size(), true},
  };
  for (const auto& c : cases) EXPECT_EQ(c.size == 0, c.empty) << c.what;
}

}  // namespace

}  // namespace quorvel

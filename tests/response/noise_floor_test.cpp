// The noise floor of a recording: a loopback with strong 2nd and 3rd harmonics and white noise of
// known power reads, at every row, the power that noise leaves in the linear response's window,
// sigma^2 sum(w^2) / |X(f)|^2 with |X(f)|^2 = fs A^2 S / (4 f ln(fmax / fmin)) for the sweep of
// amplitude A and S samples; the harmonics' responses, which the deconvolution holds elsewhere,
// do not lift it.
#include "response/noise_floor.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <random>
#include <sstream>

#include "engine/audio_engine.h"
#include "response/response_export.h"
#include "response/response_window.h"

namespace quorvel {

namespace {

TEST(NoiseFloor, ReadsTheRecordingsNoiseBesideStrongHarmonics) {
  constexpr double kSigma = 100.0;  // [16-bit steps]
  // the harmonics stay below half the rate (made above it, they would alias into falling sweeps
  // that the deconvolution spreads over every lag, as an analog distortion does not)
  constexpr double kFmax = 7000.0;
  auto audio = std::make_unique<CAudio>();
  const int length = audio->GenerateSweep(20.0, kFmax);
  std::vector<int16_t> recording(static_cast<size_t>(length - 7000));
  std::mt19937 random(7);
  std::normal_distribution<double> noise(0.0, kSigma);
  for (size_t n = 0; n < recording.size(); ++n) {
    const double x = audio->Sweep()[n] / 32768.0;
    // H2 and H3 about 30 dB under the fundamental
    const double y = 0.5 * x + 0.05 * x * x + 0.05 * x * x * x;
    recording[n] = static_cast<int16_t>(std::lround(y * 32768.0 + noise(random)));
  }
  CImpulseAnalysis analysis;
  ASSERT_EQ(analysis.Analyze(recording.data(), recording.size(), 20.0, kFmax), ResponseStatus::kOk);
  const std::vector<DistortionRow> rows = analysis.DistortionRows();
  const std::vector<double> floor = DistortionNoiseDb(analysis, rows);
  ASSERT_EQ(floor.size(), rows.size());

  const long side = std::lround(analysis.UngatedWindowMs() * 48.0);
  double sumW2 = 0.0;
  for (long i = -side; i <= side; ++i)
    sumW2 += std::pow(WindowWeight(i, side, side, side / 8, side / 8), 2);
  for (size_t i = 0; i < rows.size(); ++i) {
    const double f = rows[i].frequencyHz;
    if (f < 200.0) continue;
    const double sweepPower =
        48000.0 * 32767.0 * 32767.0 * 960000.0 / (4.0 * f * std::log(kFmax / 20.0));
    EXPECT_NEAR(floor[i], 10.0 * std::log10(kSigma * kSigma * sumW2 / sweepPower), 1.0) << f;
    EXPECT_TRUE(2.0 * f > kFmax || rows[i].harmonicDb[0] > floor[i] + 20.0) << f;
  }

  // the noise is a last column; the others are as they were
  std::istringstream plain(FormatDistortionCsv(rows)), with(FormatDistortionCsv(rows, floor));
  std::string a, b;
  std::getline(plain, a);
  std::getline(with, b);
  EXPECT_EQ(b, a + ",noise_db");
  while (std::getline(plain, a) && std::getline(with, b)) {
    EXPECT_TRUE(b.starts_with(a + ",") && b.size() > a.size() + 1) << b;
  }
}

}  // namespace

}  // namespace quorvel

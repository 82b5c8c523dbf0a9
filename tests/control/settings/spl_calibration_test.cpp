// The SPL calibration's offset from a generated calibrator recording, its store per device,
// channel and gain, and the levels it turns into dB SPL.
#include "control/settings/spl_calibration.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

namespace quorvel {

namespace {

TEST(SplCalibration, OffsetIsTheReferenceLessTheRmsLevelAndIsKeptPerChannelAndGain) {
  // A 1 kHz sine of peak 1036.2 reads 20 log10(1036.2 / sqrt 2 / 32768) = -33.00 dBFS RMS.
  std::vector<int16_t> samples(144000);
  for (size_t n = 0; n < samples.size(); ++n) {
    samples[n] = static_cast<int16_t>(
        std::lround(1036.2 * std::sin(2 * M_PI * 1000.0 * static_cast<double>(n) / 48000)));
  }
  const SplCalibration calibration = JudgeCalibration(samples, 94.0, 1000.0);
  ASSERT_TRUE(calibration.accepted) << calibration.message;
  EXPECT_NEAR(calibration.offsetDb, 94.0 + 33.0, 0.1);
  EXPECT_FALSE(JudgeCalibration(samples, 94.0, 500.0).accepted);

  CMemorySplCalibrationStore store;
  const SplInput a{"Mic/USB 1", InputChannelName(InputChannel::kLouder), 0.0};
  const SplInput b{"Mic/USB 1", "left", 6.0};
  ASSERT_TRUE(StoreSplOffset(store, a, calibration.offsetDb));
  ASSERT_TRUE(StoreSplOffset(store, b, 121.0));
  ASSERT_TRUE(StoreSplOffset(store, a, 125.5));  // replaces a's, keeps b's
  double offset = 0.0;
  ASSERT_TRUE(FindSplOffset(store, a, &offset));
  EXPECT_DOUBLE_EQ(offset, 125.5);
  ASSERT_TRUE(FindSplOffset(store, b, &offset));
  EXPECT_DOUBLE_EQ(offset, 121.0);
  EXPECT_FALSE(FindSplOffset(store, SplInput{"Mic/USB 1", "left", 0.0}, &offset));
  EXPECT_FALSE(
      FindSplOffset(store, SplInput{"Mic", InputChannelName(InputChannel::kLouder), 0.0}, &offset));
  EXPECT_EQ(store.texts.count("Mic%2FUSB 1"), 1u);
  store.texts["Mic%2FUSB 1"] = "louder 0.0 nan; left 6.0";  // damaged entries are none
  EXPECT_FALSE(FindSplOffset(store, a, &offset));
  EXPECT_FALSE(FindSplOffset(store, b, &offset));

  // A full-scale sine's block peak (0 dB) and a 0 dB transfer of the full-scale sweep both
  // read -3.01 dBFS RMS.
  EXPECT_NEAR(SplOfCurveLevel(0.0, 124.0), 120.99, 0.005);
  EXPECT_NEAR(SplOfTransferLevel(0.0, 124.0), 120.99, 0.005);
  // The meter lit by that sine's peak (a 16-bit magnitude of 1.25 x 32768) reads the same.
  EXPECT_EQ(SplMeterText(static_cast<float>(4.725 * std::log(1.25 * 32768) - 18), 124.0),
            "121.0 dB SPL");
  EXPECT_EQ(SplMeterText(0.0f, 124.0), "");
}

}  // namespace

}  // namespace quorvel

// Group delay of a minimum-phase chain (the built-in model's biquads), from its impulse response
// built directly and as the analysis measures it: the total against the chain's own phase, the
// excess near 0 (the chain has no excess phase).
#include "response/group_delay.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdio>
#include <memory>

#include "audio/sim/loudspeaker_model.h"
#include "engine/audio_engine.h"
#include "response/impulse_analysis.h"

namespace quorvel {

namespace {

using M = CLoudspeakerModel;
constexpr double kPi = 3.14159265358979323846;

TEST(GroupDelay, MinimumPhaseChainReadsItsOwnDelayAndNoExcess) {
  // the model without its delay and noise, from sample 0 for 1 s
  ImpulseResponse direct;
  direct.fmin = 20.0;
  direct.fmax = 20000.0;
  M model(false);
  for (int n = 0; n < 48000 + M::kDelaySamples; ++n) {
    const double y = model.Process(n == 0 ? 1.0 : 0.0);
    if (n >= M::kDelaySamples) direct.samples.push_back(y);
  }
  direct.peakIndex = std::max_element(direct.samples.begin(), direct.samples.end()) -
                     direct.samples.begin();  // positive: the chain's gain at its peak is > 0
  const double peakMs = static_cast<double>(direct.peakIndex) / 48.0;

  auto audio = std::make_unique<CAudio>();
  const int length = audio->GenerateSweep(20.0, 20000.0);
  std::vector<int16_t> recording(static_cast<size_t>(length - 9601 + 3000));
  M speaker(true);
  for (size_t n = 0; n < recording.size(); ++n) {
    const long at = static_cast<long>(n) - 1000;
    recording[n] = static_cast<int16_t>(
        speaker.Process(at >= 0 ? audio->Sweep()[at] / 32767.0 : 0.0) * 32768.0);
  }
  CImpulseAnalysis analysis;
  ASSERT_EQ(analysis.Analyze(recording.data(), recording.size(), 20.0, 20000.0),
            ResponseStatus::kOk);

  struct Case {
    const char* what;
    std::vector<GroupDelayRow> rows;
  } cases[] = {{"built from the biquads", GroupDelayRows(direct)},
               {"measured", GroupDelayRows(analysis)}};
  for (const Case& c : cases) {
    ASSERT_EQ(c.rows.size(), 480u) << c.what;
    double worstTotal = 0.0, worstExcess = 0.0;
    for (const GroupDelayRow& row : c.rows) {
      if (row.frequencyHz < 200.0 || row.frequencyHz > 5000.0) continue;
      // -d arg H / d omega, by a difference 0.01 Hz wide, from the peak
      const double f = row.frequencyHz;
      const double expected =
          -std::arg(M::Transfer(f + 0.005) / M::Transfer(f - 0.005)) / (2.0 * kPi * 0.01) * 1000.0 -
          peakMs;
      worstTotal = std::max(worstTotal, std::abs(row.groupDelayMs - expected));
      // timed from the peak, a minimum-phase chain's excess is minus the peak's time
      worstExcess = std::max(worstExcess, std::abs(row.excessGroupDelayMs + peakMs));
    }
    EXPECT_LE(worstTotal, 0.05) << c.what;
    EXPECT_LE(worstExcess, 0.05) << c.what;
    std::printf("%s: total %.4f ms, excess %.4f ms (peak at %.4f ms)\n", c.what, worstTotal,
                worstExcess, peakMs);
  }
  const std::string csv = FormatGroupDelayCsv(cases[0].rows);
  EXPECT_TRUE(csv.starts_with("frequency_hz,group_delay_ms,excess_group_delay_ms\n20.0000,"));
  EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 481);
  direct.samples.resize(3000000);  // beyond the limit
  EXPECT_TRUE(GroupDelayRows(direct).empty());
}

}  // namespace

}  // namespace quorvel

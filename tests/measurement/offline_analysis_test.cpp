// The offline replay of a recording gives what the engine's replay gives, point for point.
#include "measurement/offline_analysis.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <memory>
#include <vector>

#include "audio/sim/loudspeaker_model.h"
#include "engine/audio_engine.h"
#include "engine/curve_listener.h"
#include "engine/sweep_signal.h"

namespace quorvel {
namespace {

// The signal of fmin..fmax through the loudspeaker model, louder by `gain` (clipping above 1).
std::vector<int16_t> Recorded(double fmin, double fmax, double gain) {
  std::vector<int16_t> out = GenerateSweep(fmin, fmax);
  CLoudspeakerModel model;
  for (int16_t& s : out) {
    const double y = gain * model.Process(s / 32767.0) * 32767.0;
    s = static_cast<int16_t>(std::lround(std::clamp(y, -32768.0, 32767.0)));
  }
  return out;
}

struct Points : ICurveListener {
  bool AddPoint(double levelDb) override {
    if (levels.size() < 1001) levels.push_back(levelDb);
    return false;
  }
  std::vector<double> levels;
};

TEST(OfflineAnalysis, GivesTheEnginesReplayPointForPoint) {
  for (const auto& [fmin, fmax, gain] :
       {std::tuple{20.0, 20000.0, 1.0}, {100.0, 5000.0, 3.0}, {2.0, 2000.0, 0.5}}) {
    const std::vector<int16_t> samples = Recorded(fmin, fmax, gain);
    Points engine;
    auto audio = std::make_unique<CAudio>(nullptr, &engine);
    audio->ReplayAtFullSpeed(samples.data(), static_cast<int>(samples.size()), fmin);

    const OfflineCurve curve = AnalyseRecording(samples, fmin, std::nullopt);
    EXPECT_EQ(curve.levels, engine.levels) << fmin;
    EXPECT_EQ(curve.Complete(), engine.levels.size() == 1001) << fmin;
    const EngineCounters counters = audio->Counters();
    EXPECT_TRUE(curve.counters.synced);
    EXPECT_EQ(curve.counters.syncFrames, counters.syncFrames);
    EXPECT_EQ(curve.counters.clippedPoints, counters.clippedPoints);
    EXPECT_EQ(curve.counters.silentPoints, counters.silentPoints);
    EXPECT_EQ(gain > 1.0, curve.counters.clippedPoints > 0) << fmin;

    // a chart's live correction comes off every point
    const std::string chart = ::testing::TempDir() + "offline_chart.txt";
    std::ofstream(chart) << "10 -3\n1000 0\n24000 4\n";
    const Result<ResolvedChart> resolved = ResolveChart(chart, "", fmin, fmax);
    ASSERT_TRUE(resolved.Ok());
    const OfflineCurve corrected = AnalyseRecording(samples, fmin, *resolved);
    ASSERT_EQ(corrected.levels.size(), curve.levels.size());
    for (size_t k = 0; k < curve.levels.size(); ++k) {
      EXPECT_EQ(corrected.levels[k],
                curve.levels[k] - resolved->LivePointCorrection(static_cast<int>(k)));
    }
  }
}

}  // namespace
}  // namespace quorvel

#include "measurement/offline_analysis.h"

#include <memory>

#include "engine/curve_listener.h"

namespace quorvel {

namespace {

constexpr int32_t kInt32Max = 2147483647;

// The curve store of a replay without a window: the points in order, the chart subtracted,
// the end noted once.
class CPointCollector final : public ICurveListener {
 public:
  CPointCollector(std::vector<double>& levels, const std::optional<ResolvedChart>& chart)
      : m_levels(levels), m_chart(chart) {}

  bool AddPoint(double levelDb) override {
    const int count = static_cast<int>(m_levels.size());
    if (count >= kPointsPerCurve) {
      const bool first = !m_ended;
      m_ended = true;
      return first;
    }
    m_levels.push_back(m_chart ? levelDb - m_chart->LivePointCorrection(count) : levelDb);
    return false;
  }

 private:
  std::vector<double>& m_levels;
  const std::optional<ResolvedChart>& m_chart;
  bool m_ended = false;
};

}  // namespace

OfflineCurve AnalyseRecording(std::span<const int16_t> samples, double fmin,
                              const std::optional<ResolvedChart>& chart) {
  OfflineCurve curve;
  curve.levels.reserve(kPointsPerCurve);
  CPointCollector collector(curve.levels, chart);
  // the analysis' rings are large: on the heap
  auto analysis = std::make_unique<CCaptureAnalysis>(&collector);
  analysis->SetPointTiming(fmin);
  analysis->Clear();
  int32_t recorded = 0;
  for (const int16_t sample : samples) {
    // A recorded sample at 16-bit full scale was clipped when it was recorded.
    if (sample >= 32767 || sample <= -32767) {
      analysis->MarkClipped(CCaptureAnalysis::kClippedAtGain);
    }
    recorded += recorded != kInt32Max ? 1 : 0;
    // The analysis' scale is the capture's: s * 65535.
    if (analysis->PushFrame(sample * 65535, sample * 65535)) {
      static_cast<void>(analysis->AnalyseBlock(recorded));
    }
  }
  curve.counters = analysis->Counters();
  return curve;
}

}  // namespace quorvel

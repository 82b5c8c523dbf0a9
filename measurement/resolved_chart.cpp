#include "measurement/resolved_chart.h"

#include <cmath>
#include <utility>

#include "base/messages.h"
#include "base/util.h"

namespace quorvel {

double ResolvedChart::LivePointCorrection(int k) const {
  if (!m_entries || k < 0 || k >= static_cast<int>(kChartCurveSize)) return 0.0;
  return (*m_entries)[static_cast<std::size_t>(k)];
}

double ResolvedChart::CorrectionDb(double frequencyHz) const {
  if (!m_entries) return 0.0;
  const std::array<double, kChartCurveSize>& curve = *m_entries;
  if (!(frequencyHz > 0.0)) return curve[0];
  const double position =
      (std::log(frequencyHz) - std::log(m_fmin)) / std::log(m_fmax / m_fmin) * kChartGridSteps;
  if (position <= 0.0) return curve[0];
  if (position >= kChartGridSteps) return curve[kChartGridSteps];
  const auto below = static_cast<std::size_t>(position);
  const double part = position - static_cast<double>(below);
  return curve[below] + part * (curve[below + 1] - curve[below]);
}

LevelCorrection ResolvedChart::ResponseCorrection() const {
  return [chart = *this](double frequencyHz) { return chart.CorrectionDb(frequencyHz); };
}

Result<ResolvedChart> ResolvedChart::ForRange(double fmin, double fmax) const {
  auto entries = std::make_shared<std::array<double, kChartCurveSize>>();
  if (!m_points || !ResampleUsableChart(*m_points, fmin, fmax, *entries)) {
    return Failure{kMsgChartNotValid};
  }
  ResolvedChart chart = *this;
  chart.m_fmin = fmin;
  chart.m_fmax = fmax;
  chart.m_entries = std::move(entries);
  return chart;
}

Result<ResolvedChart> ResolveChart(const std::string& path, const std::string& name, double fmin,
                                   double fmax, bool* opened) {
  std::string text;
  if (opened != nullptr) *opened = false;
  if (!(fmin > 0.0 && fmax > 0.0 && std::isfinite(fmin) && std::isfinite(fmax)) ||
      !ReadChartText(path, &text, opened)) {
    return Failure{kMsgChartNotValid};
  }
  auto points = std::make_shared<ChartPointTable>();
  static_cast<void>(ParseChart(text, points.get()));
  ResolvedChart chart;
  chart.m_name = name.empty() ? CUtil::FileTitleOfPath(path) : name;
  chart.m_path = path;
  chart.m_points = std::move(points);
  return chart.ForRange(fmin, fmax);
}

}  // namespace quorvel

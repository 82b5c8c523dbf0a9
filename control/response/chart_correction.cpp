#include "control/response/chart_correction.h"

#include <array>
#include <cmath>
#include <memory>

#include "files/chart_file.h"

namespace quorvel {

bool LoadChartCorrection(const std::string& chartPath, double fmin, double fmax,
                         LevelCorrection* correction) {
  auto curve = std::make_shared<std::array<double, kChartCurveSize>>();
  if (!LoadChart(chartPath, fmin, fmax, *curve)) return false;
  const double logFmin = std::log(fmin);
  const double logSpan = std::log(fmax / fmin);
  *correction = [curve, logFmin, logSpan](double frequencyHz) {
    if (!(frequencyHz > 0.0)) return (*curve)[0];
    const double position = (std::log(frequencyHz) - logFmin) / logSpan * kChartGridSteps;
    if (position <= 0.0) return (*curve)[0];
    if (position >= kChartGridSteps) return (*curve)[kChartGridSteps];
    const auto below = static_cast<std::size_t>(position);
    const double part = position - static_cast<double>(below);
    return (*curve)[below] + part * ((*curve)[below + 1] - (*curve)[below]);
  };
  return true;
}

}  // namespace quorvel

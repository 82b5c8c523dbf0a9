// quorvel-cli chart: a calibration chart read with the chart rules and resampled onto the curve
// grid, as the values a measurement over that range would subtract.
#include <array>
#include <cmath>
#include <cstdio>
#include <string>

#include "calibration/chart_file.h"
#include "calibration/micro_list_proc.h"
#include "cli/cli_options.h"
#include "cli/commands.h"

namespace quorvel {

namespace {

const char kChartUsage[] = "quorvel-cli chart CHART [--fmin F] [--fmax F] [--csv FILE]";

// The header, then entry k at fmin*(fmax/fmin)^(k/999) in %.6f and its level in %.4f, for the
// 1002 entries. False when the text could not be written whole.
bool WriteChartCsv(std::FILE* out, const std::array<double, kChartCurveSize>& curve, double fmin,
                   double fmax) {
  bool ok = std::fprintf(out, "index,frequency_hz,level_db\n") > 0;
  for (int k = 0; ok && k < kChartCurveEntries; ++k) {
    const double frequency = fmin * std::pow(fmax / fmin, static_cast<double>(k) / kChartGridSteps);
    ok = std::fprintf(out, "%d,%.6f,%.4f\n", k, frequency, curve[static_cast<size_t>(k)]) > 0;
  }
  return ok;
}

}  // namespace

int RunChart(const Arguments& args) {
  CliOptions options({"fmin", "fmax", "csv"}, {}, 1);
  std::string error;
  if (!options.Parse(args, &error)) return ArgumentError(error, kChartUsage);
  if (options.Positional().empty()) return ArgumentError("no chart file given", kChartUsage);
  double fmin = 0.0;
  double fmax = 0.0;
  if (!options.Number("fmin", 20.0, &fmin, &error) ||
      !options.Number("fmax", 20000.0, &fmax, &error)) {
    return ArgumentError(error, kChartUsage);
  }
  if (!(fmin > 0.0 && fmin <= fmax)) {
    return ArgumentError("the range needs 0 < fmin <= fmax", kChartUsage);
  }
  std::array<double, kChartCurveSize> curve;
  if (!LoadChart(options.Positional()[0], fmin, fmax, curve)) {
    std::fprintf(stderr, "%s\n", kMsgChartNotValid);
    return kExitFailure;
  }
  if (!options.Has("csv")) return WriteChartCsv(stdout, curve, fmin, fmax) ? kExitOk : kExitFailure;
  const std::string path = options.Value("csv");
  std::FILE* file = std::fopen(path.c_str(), "w");
  bool ok = file != nullptr && WriteChartCsv(file, curve, fmin, fmax);
  if (file != nullptr && std::fclose(file) != 0) ok = false;
  if (!ok) {
    std::fprintf(stderr, "Could not write the chart to %s\n", path.c_str());
    return kExitFailure;
  }
  return kExitOk;
}

}  // namespace quorvel

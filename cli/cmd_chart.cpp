// quorvel-cli chart: a calibration chart read with the chart rules and resampled onto the curve
// grid, as the values a measurement over that range would subtract.
#include <array>
#include <cstdio>
#include <string>

#include "base/atomic_file.h"
#include "calibration/micro_list_proc.h"
#include "cli/cli_options.h"
#include "cli/command_files.h"
#include "cli/commands.h"
#include "cli/curve_outputs.h"
#include "control/run/failure_words.h"
#include "control/run/measurement_request.h"
#include "files/chart_file.h"

namespace quorvel {

namespace {

const char kChartUsage[] = "quorvel-cli chart CHART [--fmin F] [--fmax F] [--csv FILE]";

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
  // the values a measurement over the range would subtract: a range a measurement takes
  if (const Result<void> range = CheckRange(fmin, fmax, RangeRule::kAnyWithinLimits); !range) {
    return ArgumentError(range.Message(), kChartUsage);
  }
  CCommandFiles files;
  files.AddInput("the chart", options.Positional()[0]);
  if (options.Has("csv")) files.AddOutput("csv", options.Value("csv"), "", 0);
  if (const int refused = files.RefuseSharedFiles(kChartUsage); refused != kExitOk) {
    return refused;
  }
  std::array<double, kChartCurveSize> curve;
  if (!LoadChart(options.Positional()[0], fmin, fmax, curve)) {
    std::fprintf(stderr, "%s\n", kMsgChartNotValid);
    return kExitFailure;
  }
  // the 1002 entries, entry k at fmin*(fmax/fmin)^(k/999)
  const std::string text =
      CurveCsvText(curve.data(), kChartCurveEntries, fmin, fmax, kChartGridSteps);
  if (!options.Has("csv")) {
    std::fputs(text.c_str(), stdout);  // a failed write is named when the output is ended
    return kExitOk;
  }
  // Written whole or not at all; a named pipe without a reader is refused at once.
  const std::string path = options.Value("csv");
  if (const Result<void> whole = WriteWholeFile(path, text.data(), text.size()); !whole) {
    std::fprintf(stderr, "%s\n",
                 WithWords("Could not write the chart to " + path, whole.Message()).c_str());
    return kExitFailure;
  }
  return kExitOk;
}

}  // namespace quorvel

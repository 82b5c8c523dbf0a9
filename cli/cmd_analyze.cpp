// quorvel-cli analyze: a saved capture analysed as a replay would analyse it, at full speed.
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "base/messages.h"
#include "base/preferences.h"
#include "cli/capture_channel.h"
#include "cli/cli_options.h"
#include "cli/cli_session.h"
#include "cli/command_files.h"
#include "cli/commands.h"
#include "cli/curve_outputs.h"
#include "cli/spl_settings.h"
#include "cli/stored_settings.h"
#include "control/captures/capture_files.h"
#include "control/response/capture_response.h"
#include "engine/point_timing.h"

namespace quorvel {

namespace {

const char kAnalyzeUsage[] =
    "quorvel-cli analyze CAPTURE.wav [--fmin F] [--fmax F] [--calibration CHART]"
    " [--chart-folder DIR] [--csv FILE] [--png FILE] [--bmp FILE] [--save COPY.wav]"
    " [--channel left|right] [--spl [--input NAME] [--gain DB]]";

}  // namespace

int RunAnalyze(const Arguments& args) {
  CliOptions options({"fmin", "fmax", "calibration", "chart-folder", "csv", "png", "bmp", "save",
                      "input", "gain", "channel"},
                     {"spl"}, 1);
  std::string error;
  if (!options.Parse(args, &error)) return ArgumentError(error, kAnalyzeUsage);
  if (options.Positional().empty()) return ArgumentError("no capture file given", kAnalyzeUsage);
  double fmin = 0.0;
  double fmax = 0.0;
  if (!options.Number("fmin", 20.0, &fmin, &error) ||
      !options.Number("fmax", 20000.0, &fmax, &error)) {
    return ArgumentError(error, kAnalyzeUsage);
  }
  SplScale scale;
  if (const int bad = CaptureSplScale(options, kAnalyzeUsage, &scale); bad != kExitOk) return bad;
  const std::string& path = options.Positional()[0];
  CCommandFiles commandFiles;
  commandFiles.AddInput("the capture", path);
  AddCurveCommandFiles(options, &commandFiles);
  if (const int refused = commandFiles.RefuseSharedFiles(kAnalyzeUsage); refused != kExitOk) {
    return refused;
  }

  // The checks and messages of Load Audio File; the capture is read once and replayed offline,
  // with no engine.
  CCliReading session;
  // A microphone the file names is looked up in the chart folder, as the window does:
  // --chart-folder DIR, else the window's stored "CalibFiles".
  const std::string folder =
      options.Has("chart-folder") ? options.Value("chart-folder") : StoredChartFolder();
  if (!folder.empty()) session.Preferences().WriteString(kPrefCalibFiles, folder);
  // The range of the title tag, unless the command line gives one; it follows the limits of a
  // measurement (one below 1.9 Hz passes the load's rule). The file's chart is resolved for
  // that range; a chart given replaces it.
  CaptureResponseRequest request;
  request.path = path;
  request.fminGiven = options.Has("fmin");
  request.fmaxGiven = options.Has("fmax");
  request.fmin = fmin;
  request.fmax = fmax;
  request.chartPath = options.Value("calibration");
  if (const int bad = ReadCaptureChannel(options, kAnalyzeUsage, &request); bad != kExitOk) {
    return bad;
  }
  Result<LoadedResponseCapture> read = LoadCaptureForResponse(session.Reading(), request);
  if (!read) {
    // the range's refusal is the one left to say
    return read.Message().empty() ? kExitFailure : ArgumentError(read.Message(), kAnalyzeUsage);
  }
  const LoadedResponseCapture loaded = std::move(*read);
  const auto sampleCount = static_cast<uint32_t>(loaded.file.recording->Frames());
  // A recording that gives no clean curve is no success: the verdict says why.
  const std::optional<Measurement> measurement = MeasureLoadedCapture(session.Messages(), loaded);
  if (!measurement) return kExitFailure;
  const std::vector<std::string> warnings = measurement->Warnings().Texts();
  for (const std::string& warning : warnings) {
    std::fprintf(stderr, "warning: %s\n", warning.c_str());
  }
  // A curve that holds its 1001 points when the samples have run out is complete, as in the
  // window.
  const bool complete = measurement->PointCount() == kPointsPerCurve;

  // --csv, --png / --bmp: the curve, and the graph as the window shows it after replaying the
  // file; every output that can be written is.
  bool written = WriteCurveOutputs(options, *measurement, true, scale);
  // --save: what Save Audio File writes once the replay's curve is complete: the recording,
  // which is the file's samples, with the tags.
  if (options.Has("save")) {
    if (!complete) {
      session.Messages().ShowMessage(kMsgNoNewCapture);
      written = false;
    } else if (!SaveMeasurementCapture(session.Reading(), *measurement, options.Value("save"))) {
      written = false;
    }
  }
  std::printf("%s: %u samples, %d of 1001 points%s\n", path.c_str(), sampleCount,
              measurement->PointCount(), complete ? ", curve complete" : "");
  PrintCurveEnds(*measurement, scale);
  if (!written) return kExitFailure;
  return warnings.empty() ? kExitOk : kExitWarning;
}

}  // namespace quorvel

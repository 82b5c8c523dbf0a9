// quorvel-cli analyze: a saved capture analysed as a replay would analyse it, at full speed.
#include <cstdio>
#include <string>

#include "base/preferences.h"
#include "calibration/micro_list_proc.h"
#include "cli/cli_options.h"
#include "cli/cli_session.h"
#include "cli/commands.h"
#include "cli/curve_outputs.h"
#include "cli/stored_settings.h"
#include "control/capture_files.h"
#include "control/curve_completion.h"
#include "control/measurement_request.h"
#include "control/measurement_sequence.h"
#include "engine/audio_engine.h"

namespace quorvel {

namespace {

constexpr int kCurvePoints = CGraphical::kLastPoint + 1;

constexpr char kMsgRecordingHoldsNoPoint[] =
    "The recording ends before the first point of the response curve";
// A recorded sample at 16-bit full scale was clipped when it was recorded.
constexpr char kMsgRecordingClipped[] =
    "warning: the recording reached full scale (%d of 1001 points): the input clipped when it "
    "was recorded\n";

const char kAnalyzeUsage[] =
    "quorvel-cli analyze CAPTURE.wav [--fmin F] [--fmax F] [--calibration CHART]"
    " [--chart-folder DIR] [--csv FILE] [--png FILE] [--bmp FILE] [--save COPY.wav]";

}  // namespace

int RunAnalyze(const Arguments& args) {
  CliOptions options({"fmin", "fmax", "calibration", "chart-folder", "csv", "png", "bmp", "save"},
                     {}, 1);
  std::string error;
  if (!options.Parse(args, &error)) return ArgumentError(error, kAnalyzeUsage);
  if (options.Positional().empty()) return ArgumentError("no capture file given", kAnalyzeUsage);
  double fmin = 0.0;
  double fmax = 0.0;
  if (!options.Number("fmin", 20.0, &fmin, &error) ||
      !options.Number("fmax", 20000.0, &fmax, &error)) {
    return ArgumentError(error, kAnalyzeUsage);
  }
  const std::string& path = options.Positional()[0];

  // The checks and messages of Load Audio File; the engine then holds the samples.
  CCliSession session(AudioChoice::kNone);
  CQuorvelCore& core = session.Core();
  CAudio& audio = core.Audio();
  CSharedState& shared = core.Shared();
  // A microphone the file names is looked up in the chart folder, as the window does:
  // --chart-folder DIR, else the window's stored "CalibFiles".
  const std::string folder =
      options.Has("chart-folder") ? options.Value("chart-folder") : StoredChartFolder();
  if (!folder.empty()) session.Preferences().WriteString(kPrefCalibFiles, folder);
  const CaptureFileContext files = core.FileContext();
  LoadedCaptureFile loaded;
  if (!LoadCaptureFile(files, path, &loaded)) return kExitFailure;
  // The range of the title tag, unless the command line gives one.
  if (!options.Has("fmin")) fmin = loaded.fmin;
  if (!options.Has("fmax")) fmax = loaded.fmax;
  // A range given on the command line follows the limits of a measurement; the title's range
  // has been made sane by the load.
  if ((options.Has("fmin") || options.Has("fmax")) &&
      !CheckRange(fmin, fmax, RangeRule::kAnyWithinLimits, &error)) {
    return ArgumentError(error, kAnalyzeUsage);
  }
  // The file's chart was loaded for the file's range: again for another one.
  const int chart = shared.m_nSelectedChart.load();
  if (loaded.calibrationApplied && (fmin != loaded.fmin || fmax != loaded.fmax) &&
      !core.MicroList().LoadCalibration(core.MicroList().ChartPath(chart), fmin, fmax)) {
    session.Messages().ShowMessage(kMsgChartNotValid);
    return kExitFailure;
  }
  if (options.Has("calibration") &&
      !core.MicroList().ApplyChartFile(options.Value("calibration"), fmin, fmax)) {
    return kExitFailure;
  }
  const auto sampleCount = static_cast<uint32_t>(audio.Loaded().size());
  // A replay analyses what it plays, one mono sample per frame; a curve that holds its 1001
  // points when the samples have run out is complete, as in the window.
  const bool complete = AnalyzeLoadedSamples(audio, core.Graph(), fmin, fmax);
  const int points = core.Graph().m_count.load();
  // No curve at all is no success: say why there is none.
  if (!audio.Counters().synced) {
    std::fprintf(stderr, "%s\n", kMsgRecordingNoSync);
    return kExitFailure;
  }
  if (points == 0) {
    std::fprintf(stderr, "%s\n", kMsgRecordingHoldsNoPoint);
    return kExitFailure;
  }
  // A recording that ends before the curve is whole (one saved before the points were timed on
  // their own frequencies ends a few blocks early) gives the points it holds, and no more.
  bool warned = points < kCurvePoints;
  if (warned) {
    std::fprintf(stderr, "warning: the recording lacks %d of the %d points of a curve\n",
                 kCurvePoints - points, kCurvePoints);
  }
  const int clipped = audio.Counters().clippedPoints;
  if (clipped > 0) {
    std::fprintf(stderr, kMsgRecordingClipped, clipped);
    warned = true;
  }

  // --csv, --png / --bmp: the curve, and the graph as the window shows it after replaying the
  // file; every output that can be written is.
  bool written = WriteCurveOutputs(options, core, fmin, fmax, true);
  // --save: what Save Audio File writes once the replay's curve is complete: the recording
  // moved to the start of the record track, with the tags.
  if (options.Has("save")) {
    if (complete) audio.RotateRecordTrack();
    if (!CheckCaptureToSave(files) || !SaveCaptureFile(files, options.Value("save"))) {
      written = false;
    }
  }
  std::printf("%s: %u samples, %d of 1001 points%s\n", path.c_str(), sampleCount, points,
              complete ? ", curve complete" : "");
  PrintCurveEnds(core, fmin, fmax);
  if (!written) return kExitFailure;
  return warned ? kExitWarning : kExitOk;
}

}  // namespace quorvel

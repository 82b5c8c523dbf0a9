// quorvel-cli analyze: a saved capture analysed as a replay would analyse it, at full speed.
#include <cstdio>
#include <string>

#include "base/preferences.h"
#include "calibration/micro_list_proc.h"
#include "cli/cli_options.h"
#include "cli/cli_session.h"
#include "cli/command_files.h"
#include "cli/commands.h"
#include "cli/curve_outputs.h"
#include "cli/spl_settings.h"
#include "cli/stored_settings.h"
#include "control/capture_files.h"
#include "control/curve_completion.h"
#include "control/measurement_request.h"
#include "control/measurement_sequence.h"
#include "control/replay_verdict.h"
#include "engine/audio_engine.h"

namespace quorvel {

namespace {

const char kAnalyzeUsage[] =
    "quorvel-cli analyze CAPTURE.wav [--fmin F] [--fmax F] [--calibration CHART]"
    " [--chart-folder DIR] [--csv FILE] [--png FILE] [--bmp FILE] [--save COPY.wav]"
    " [--spl [--input NAME] [--gain DB]]";

}  // namespace

int RunAnalyze(const Arguments& args) {
  CliOptions options(
      {"fmin", "fmax", "calibration", "chart-folder", "csv", "png", "bmp", "save", "input", "gain"},
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
  // The range follows the limits of a measurement, given or from the title (one below 1.9 Hz
  // passes the load's rule).
  if (!CheckRange(fmin, fmax, RangeRule::kAnyWithinLimits, &error)) {
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
  // A recording that gives no clean curve is no success: say why.
  const ReplayVerdict verdict = JudgeLoadedReplay(audio, core.Graph(), fmin, fmax);
  if (!verdict.failure.empty()) {
    std::fprintf(stderr, "%s\n", verdict.failure.c_str());
    return kExitFailure;
  }
  for (const std::string& warning : verdict.warnings) {
    std::fprintf(stderr, "warning: %s\n", warning.c_str());
  }

  // --csv, --png / --bmp: the curve, and the graph as the window shows it after replaying the
  // file; every output that can be written is.
  bool written = WriteCurveOutputs(options, core, fmin, fmax, true, scale);
  // --save: what Save Audio File writes once the replay's curve is complete: the recording,
  // which is the file's samples, with the tags.
  if (options.Has("save")) {
    if (complete) audio.RotateRecordTrack();
    if (!CheckCaptureToSave(files) || !SaveCaptureFile(files, options.Value("save"))) {
      written = false;
    }
  }
  std::printf("%s: %u samples, %d of 1001 points%s\n", path.c_str(), sampleCount, points,
              complete ? ", curve complete" : "");
  PrintCurveEnds(core, fmin, fmax, scale);
  if (!written) return kExitFailure;
  return verdict.warnings.empty() ? kExitOk : kExitWarning;
}

}  // namespace quorvel

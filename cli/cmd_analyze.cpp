// quorvel-cli analyze: a saved capture analysed as a replay would analyse it, at full speed.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include <string>

#include "base/shared_state.h"
#include "base/util.h"
#include "cli/cli_options.h"
#include "cli/commands.h"
#include "cli/console_messages.h"
#include "cli/curve_csv.h"
#include "control/capture_files.h"
#include "control/memory_preferences.h"
#include "engine/audio_engine.h"
#include "engine/full_speed_replay.h"
#include "engine/record_track.h"
#include "files/wave_file.h"
#include "graph/curve_image_render.h"
#include "graph/graphical.h"

namespace {

const char kAnalyzeUsage[] =
    "quorvel-cli analyze CAPTURE.wav [--fmin F] [--fmax F] [--csv FILE] [--png FILE] [--bmp FILE]"
    " [--save COPY.wav]";

}  // namespace

int RunAnalyze(const Arguments& args) {
  CliOptions options({"fmin", "fmax", "csv", "png", "bmp", "save"}, {}, 1);
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
  CSharedState shared;
  auto audio = std::make_unique<CAudio>();
  CWave wave;
  CConsoleMessages messages;
  CMemoryPreferences preferences;
  const CaptureFileContext files{*audio, shared, wave, messages, preferences, nullptr};
  LoadedCaptureFile loaded;
  if (!LoadCaptureFile(files, path, &loaded)) return kExitFailure;
  // The range of the title tag, unless the command line gives one.
  if (!options.Has("fmin")) fmin = loaded.fmin;
  if (!options.Has("fmax")) fmax = loaded.fmax;
  if (!(fmin > 0.0 && fmin < fmax)) {
    return ArgumentError("the range needs 0 < fmin < fmax", kAnalyzeUsage);
  }
  shared.m_curveFmin = shared.m_fmin = fmin;
  shared.m_curveFmax = shared.m_fmax = fmax;
  const uint32_t sampleCount = static_cast<uint32_t>(audio->m_fileSampleCount.load());
  auto graph = std::make_unique<CGraphical>(shared);
  graph->SetRecordCounters(&audio->m_recordCount, &audio->m_capturedCount);
  audio->SetCurveListener(graph.get());
  graph->ClearCurve();

  // A replay analyses what it plays, one mono sample per frame.
  ReplayAtFullSpeed(*audio, audio->m_fileSamples, static_cast<int>(sampleCount));
  const bool complete = graph->m_curvesCompleted.load() != 0;

  const int points = graph->m_count.load();
  double levels[CGraphical::kCurveCapacity];
  for (int k = 0; k < points; ++k) levels[k] = graph->m_points[k].load();
  if (options.Has("csv") && !WriteCurveCsv(options.Value("csv"), levels, points, fmin, fmax)) {
    std::fprintf(stderr, "Could not write the curve to %s\n", options.Value("csv").c_str());
    return kExitFailure;
  }
  // --png / --bmp: the graph as the window shows it after replaying the file
  for (const std::string format : {"png", "bmp"}) {
    if (!options.Has(format)) continue;
    if (graph->UpdateHasCurve() == 0) {
      std::fprintf(stderr, "No Response Curve on screen\n");
      return kExitFailure;
    }
    if (!RenderCurveImage(*graph, shared, WithImageExtension(options.Value(format), format),
                          nullptr)) {
      std::fprintf(stderr, "Cannot save the file to disk...\n");
      return kExitFailure;
    }
  }
  // --save: what Save Audio File writes once the replay's curve is complete: the recording
  // moved to the start of the record track, with the tags.
  if (options.Has("save")) {
    if (complete) RotateRecordTrack(*audio);
    if (!CheckCaptureToSave(files) || !SaveCaptureFile(files, options.Value("save"))) {
      return kExitFailure;
    }
  }
  std::printf("%s: %u samples, %d of 1001 points%s\n", path.c_str(), sampleCount, points,
              complete ? ", curve complete" : "");
  if (points > 0) {
    std::printf("first point: %.6f Hz %.4f dB\nlast point: %.6f Hz %.4f dB\n", fmin, levels[0],
                fmin * std::pow(fmax / fmin, (points - 1) / 1000.0), levels[points - 1]);
  }
  return kExitOk;
}

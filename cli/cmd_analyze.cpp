// quorvel-cli analyze: a saved capture analysed as a replay would analyse it, at full speed.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "cli/cli_options.h"
#include "cli/commands.h"
#include "cli/curve_csv.h"
#include "engine/audio_engine.h"
#include "engine/full_speed_replay.h"
#include "engine/shared_state.h"
#include "files/capture_samples.h"
#include "files/util.h"
#include "graph/curve_events.h"
#include "graph/curve_image_render.h"
#include "graph/graphical.h"

namespace {

const char kAnalyzeUsage[] =
    "quorvel-cli analyze CAPTURE.wav [--fmin F] [--fmax F] [--csv FILE] [--png FILE] [--bmp FILE]";

// The replay runs on this very thread, so the notices only need to be counted.
class CReplayEvents : public ICurveEvents {
 public:
  void OnPointAdded() override { ++m_points; }
  void OnCurveComplete() override { m_complete = true; }
  int m_points = 0;
  bool m_complete = false;
};

}  // namespace

int RunAnalyze(const Arguments& args) {
  CliOptions options({"fmin", "fmax", "csv", "png", "bmp"}, {}, 1);
  std::string error;
  if (!options.Parse(args, &error)) return ArgumentError(error, kAnalyzeUsage);
  if (options.Positional().empty()) return ArgumentError("no capture file given", kAnalyzeUsage);
  double fmin = 0.0;
  double fmax = 0.0;
  if (!options.Number("fmin", 20.0, &fmin, &error) ||
      !options.Number("fmax", 20000.0, &fmax, &error)) {
    return ArgumentError(error, kAnalyzeUsage);
  }
  if (!(fmin > 0.0 && fmin < fmax)) {
    return ArgumentError("the range needs 0 < fmin < fmax", kAnalyzeUsage);
  }
  const std::string& path = options.Positional()[0];

  uint32_t sampleCount = 0;
  int32_t channels = 0;
  int32_t rate = 0;
  int16_t* samples = nullptr;
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr || !ReadCaptureSamples(file, &sampleCount, &channels, &samples, &rate)) {
    std::fprintf(stderr, "Sorry this file is not convenient...\n");
    return kExitFailure;
  }
  std::unique_ptr<int16_t, decltype(&std::free)> owned(samples, &std::free);

  CSharedState shared;
  shared.m_curveFmin = shared.m_fmin = fmin;
  shared.m_curveFmax = shared.m_fmax = fmax;
  auto audio = std::make_unique<CAudio>();
  CReplayEvents events;
  auto graph = std::make_unique<CGraphical>(shared, audio.get(), &events);
  audio->SetCurveListener(graph.get());
  graph->ClearCurve();

  // A replay analyses what it plays, one mono sample per frame.
  const int count = static_cast<int>(sampleCount * static_cast<uint32_t>(channels));
  ReplayAtFullSpeed(*audio, owned.get(), count);

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
    const std::string title = CUtil::StripExtension(CUtil::FileNameOfPath(path.c_str()));
    char caption[CUtil::kFormatSize];
    CUtil::FormatText(caption, sizeof caption, "Playing File \"%s\"", title.c_str());
    if (!RenderCurveImage(*graph, shared, WithImageExtension(options.Value(format), format),
                          caption)) {
      std::fprintf(stderr, "Cannot save the file to disk...\n");
      return kExitFailure;
    }
  }
  std::printf("%s: %u samples, %d of 1001 points%s\n", path.c_str(), sampleCount, points,
              events.m_complete ? ", curve complete" : "");
  if (points > 0) {
    std::printf("first point: %.6f Hz %.4f dB\nlast point: %.6f Hz %.4f dB\n", fmin, levels[0],
                fmin * std::pow(fmax / fmin, (points - 1) / 1000.0), levels[points - 1]);
  }
  return kExitOk;
}

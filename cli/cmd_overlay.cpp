// quorvel-cli overlay: the responses of one or more captures together, as a CSV of their levels
// on one grid and a picture.
#include <cstdio>
#include <string>
#include <vector>

#include "base/number_text.h"
#include "cli/capture_traces.h"
#include "cli/cli_options.h"
#include "cli/command_files.h"
#include "cli/commands.h"
#include "cli/spl_settings.h"
#include "cli/trace_outputs.h"
#include "graph/overlay_picture.h"
#include "measurement/trace_export.h"
#include "measurement/trace_range.h"
#include "measurement/trace_smoothing.h"

namespace quorvel {

namespace {

const char kOverlayUsage[] =
    "quorvel-cli overlay CAPTURE.wav... [--gate MS] [--smooth N] [--level-range DB] [--png FILE]"
    " [--csv FILE]"
    " [--spl [--input NAME] [--gain DB]]";

constexpr std::size_t kMaxCaptures = 4096;
constexpr double kMaxLevelRangeDb = 400.0;

}  // namespace

int RunOverlay(const Arguments& args) {
  CliOptions options({"gate", "smooth", "level-range", "png", "csv", "input", "gain"}, {"spl"},
                     kMaxCaptures);
  std::string error;
  if (!options.Parse(args, &error)) return ArgumentError(error, kOverlayUsage);
  if (options.Positional().empty()) return ArgumentError("no capture file given", kOverlayUsage);
  double gateMs = 0.0;
  int bands = 0;
  if (const int bad = ReadTraceOptions(options, kOverlayUsage, &gateMs, &bands); bad != kExitOk) {
    return bad;
  }
  SplScale scale;
  if (const int bad = CaptureSplScale(options, kOverlayUsage, &scale); bad != kExitOk) return bad;
  double levelRangeDb = 0.0;
  if (!options.Number("level-range", 0.0, &levelRangeDb, &error)) {
    return ArgumentError(error, kOverlayUsage);
  }
  if (options.Has("level-range") && !(levelRangeDb > 0.0 && levelRangeDb <= kMaxLevelRangeDb)) {
    return ArgumentError("--level-range DB is the level axis' span in dB, above 0 and at most " +
                             FormatGeneral(kMaxLevelRangeDb, 4),
                         kOverlayUsage);
  }

  CCommandFiles files;
  AddTraceCommandFiles(options, options.Positional().size(), &files);
  if (const int refused = files.RefuseSharedFiles(kOverlayUsage); refused != kExitOk) {
    return refused;
  }
  if (!files.CheckTargets()) return kExitFailure;

  std::vector<Trace> traces;
  const int loaded = LoadCaptureTraces(options.Positional(), gateMs, kOverlayUsage, &traces, scale);
  if (loaded != kExitOk && loaded != kExitWarning) return loaded;
  for (Trace& trace : traces) trace = Smoothed(trace, bands);

  const bool csv = options.Has("csv"), png = options.Has("png");
  if (!csv && !png) {
    std::printf("%zu traces, %s\n", traces.size(), SmoothingName(bands).c_str());
    for (const Trace& trace : traces) std::printf("%s\n", TraceSummary(trace).c_str());
    const Result<TraceRange> common = CommonRange(traces);
    std::printf("common range: %s\n",
                common.Ok() ? RangeText(*common).c_str() : common.Message().c_str());
    return loaded;
  }
  // the CSV needs a range that every trace covers: refused before anything is written
  Result<std::string> text = csv ? FormatOverlayCsv(traces) : Result<std::string>("");
  if (!text.Ok()) return ArgumentError(text.Message(), kOverlayUsage);
  bool written = true;
  if (png) {
    OverlayPictureOptions picture;
    picture.title = PictureTitle("Level", bands, gateMs);
    picture.levelRangeDb = levelRangeDb;
    if (const Result<void> saved = SaveOverlayPicture(PicturePath(options), traces, picture);
        !saved) {
      std::fprintf(stderr, "%s\n", saved.Message().c_str());
      written = false;
    }
  }
  if (csv && !SaveTraceText(options.Value("csv"), *text)) written = false;
  return written ? loaded : kExitFailure;
}

}  // namespace quorvel

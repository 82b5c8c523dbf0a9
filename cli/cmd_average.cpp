// quorvel-cli average: the average response of two or more captures (dB mean, power mean or
// vector mean), as an FRD, a CSV beside its sources and a picture over them.
#include <cmath>
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
#include "measurement/trace_average.h"
#include "measurement/trace_export.h"
#include "measurement/trace_range.h"
#include "measurement/trace_smoothing.h"

namespace quorvel {

namespace {

const char kAverageUsage[] =
    "quorvel-cli average CAPTURE.wav... --mode db|power|vector [--no-align] [--gate MS]"
    " [--smooth N] [--fmin F --fmax F] [--frd FILE] [--csv FILE] [--png FILE]"
    " [--spl [--input NAME] [--gain DB]]";

constexpr std::size_t kMaxCaptures = 4096;

// The lines printed when no file is asked for: the way and its sources, the range, the level
// at 1 kHz, and the vector mean's delays.
void PrintSummary(const Trace& mean, const std::vector<Trace>& sources) {
  std::printf("%s of %zu traces, %s\n", mean.name.c_str(), sources.size(),
              SmoothingName(mean.smoothingBands).c_str());
  for (std::size_t i = 0; i < sources.size(); ++i) {
    std::printf("source: %s", TraceSummary(sources[i]).c_str());
    if (i > 0 && i < mean.origin.delaysSamples.size()) {
      std::printf(
          " (delay %s samples after the first)",
          FormatFixed(std::round(mean.origin.delaysSamples[i] * 1000.0) / 1000.0 + 0.0, 3).c_str());
    }
    std::printf("\n");
  }
  std::printf("%s\n", TraceSummary(mean).c_str());
}

}  // namespace

int RunAverage(const Arguments& args) {
  CliOptions options(
      {"mode", "gate", "smooth", "fmin", "fmax", "frd", "csv", "png", "input", "gain"},
      {"no-align", "spl"}, kMaxCaptures);
  std::string error;
  if (!options.Parse(args, &error)) return ArgumentError(error, kAverageUsage);
  if (options.Positional().size() < 2) {
    return ArgumentError("an average needs two or more captures", kAverageUsage);
  }
  if (!options.Has("mode")) return ArgumentError("--mode db|power|vector is needed", kAverageUsage);
  const Result<AverageWay> way = AverageWayOfMode(options.Value("mode"));
  if (!way.Ok()) return ArgumentError(way.Message(), kAverageUsage);
  if (options.Has("no-align") && *way != AverageWay::kVectorMean) {
    return ArgumentError("--no-align is for --mode vector: only a vector mean lines takes up",
                         kAverageUsage);
  }
  AverageOptions average;
  average.align = !options.Has("no-align");
  double gateMs = 0.0;
  if (const int bad = ReadTraceOptions(options, kAverageUsage, &gateMs, &average.smoothingBands);
      bad != kExitOk) {
    return bad;
  }
  SplScale scale;
  if (const int bad = CaptureSplScale(options, kAverageUsage, &scale); bad != kExitOk) return bad;
  if (!options.Number("fmin", 0.0, &average.fminHz, &error) ||
      !options.Number("fmax", 0.0, &average.fmaxHz, &error)) {
    return ArgumentError(error, kAverageUsage);
  }
  if ((options.Has("fmin") && !(average.fminHz > 0.0)) ||
      (options.Has("fmax") && !(average.fmaxHz > 0.0))) {
    return ArgumentError("--fmin and --fmax are frequencies in Hz, above 0", kAverageUsage);
  }

  CCommandFiles files;
  // the CSV holds the sources and the average
  AddTraceCommandFiles(options, options.Positional().size() + 1, &files);
  if (const int refused = files.RefuseSharedFiles(kAverageUsage); refused != kExitOk) {
    return refused;
  }
  if (!files.CheckTargets()) return kExitFailure;

  std::vector<Trace> traces;
  const int loaded = LoadCaptureTraces(options.Positional(), gateMs, kAverageUsage, &traces, scale);
  if (loaded != kExitOk && loaded != kExitWarning) return loaded;
  // ranges without overlap, or --fmin / --fmax outside the common range, are bad arguments
  const Result<TraceRange> range = CommonRange(traces, average.fminHz, average.fmaxHz);
  if (!range.Ok()) return ArgumentError(range.Message(), kAverageUsage);
  const Result<Trace> mean = AverageTraces(traces, *way, average);
  if (!mean.Ok()) {
    std::fprintf(stderr, "quorvel-cli: %s\n", mean.Message().c_str());
    return kExitFailure;
  }
  // the sources as the average saw them, over its range, for the CSV and the picture
  std::vector<Trace> shown;
  for (const Trace& trace : traces) {
    shown.push_back(Smoothed(Resampled(trace, *range), average.smoothingBands));
  }
  shown.push_back(*mean);

  const bool frd = options.Has("frd"), csv = options.Has("csv"), png = options.Has("png");
  if (!frd && !csv && !png) {
    PrintSummary(*mean, traces);
    return loaded;
  }
  bool written = true;
  if (frd && !SaveTraceText(options.Value("frd"), FormatTraceFrd(*mean))) written = false;
  if (csv) {
    const Result<std::string> text = FormatOverlayCsv(shown);
    if (!text.Ok()) {
      std::fprintf(stderr, "quorvel-cli: %s\n", text.Message().c_str());
      written = false;
    } else if (!SaveTraceText(options.Value("csv"), *text)) {
      written = false;
    }
  }
  if (png) {
    OverlayPictureOptions picture;
    std::string what =
        std::string(AverageWayName(*way)) + " of " + std::to_string(traces.size()) + " captures";
    if (what[0] >= 'a' && what[0] <= 'z') what[0] = static_cast<char>(what[0] - 'a' + 'A');
    picture.title = PictureTitle(what, average.smoothingBands, gateMs);
    picture.lastIsResult = true;
    if (const Result<void> saved = SaveOverlayPicture(PicturePath(options), shown, picture);
        !saved) {
      std::fprintf(stderr, "%s\n", saved.Message().c_str());
      written = false;
    }
  }
  return written ? loaded : kExitFailure;
}

}  // namespace quorvel

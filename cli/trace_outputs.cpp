#include "cli/trace_outputs.h"

#include <cmath>
#include <cstdio>

#include "base/atomic_file.h"
#include "base/number_text.h"
#include "cli/cli_options.h"
#include "cli/command_files.h"
#include "cli/commands.h"
#include "control/captures/response_files.h"
#include "control/run/failure_words.h"
#include "graph/curve_image_export.h"
#include "graph/overlay_picture.h"
#include "measurement/trace_offset.h"
#include "measurement/trace_smoothing.h"

namespace quorvel {

namespace {

// The 1/48-octave lines from 1.9 to 24000 Hz: fewer than 700.
constexpr uint64_t kGridLines = 700;
// A line's frequency and a level each: under 16 bytes ("-123456.789" and the comma).
constexpr uint64_t kFieldBytes = 16;

}  // namespace

int ReadTraceOptions(const CliOptions& options, const char* usage, double* gateMs,
                     int* smoothingBands) {
  std::string error;
  double smooth = 0.0;
  if (!options.Number("gate", 0.0, gateMs, &error) ||
      !options.Number("smooth", 0.0, &smooth, &error)) {
    return ArgumentError(error, usage);
  }
  if (*gateMs < 0.0) return ArgumentError("the gate is a length in ms, 0 or more", usage);
  const bool whole = smooth == std::floor(smooth) && std::fabs(smooth) <= kMaxSmoothingBands;
  const Result<int> bands = SmoothingBands(whole ? static_cast<int>(smooth) : -1);
  if (!bands.Ok()) {
    return ArgumentError(
        "--smooth N smooths over 1/N octave: N is 0 (none) or a whole number from "
        "1 to " +
            std::to_string(kMaxSmoothingBands),
        usage);
  }
  *smoothingBands = *bands;
  return kExitOk;
}

std::string PicturePath(const CliOptions& options) {
  return WithImageExtension(options.Value("png"), "png");
}

void AddTraceCommandFiles(const CliOptions& options, std::size_t columns, CCommandFiles* files) {
  uint64_t names = 0;
  for (const std::string& path : options.Positional()) {
    files->AddInput("the capture", path);
    names += 2 * path.size() + 3;  // a name quoted as CSV quotes it, at most; and " (N)"
  }
  const uint64_t csv = 4096 + names + kGridLines * kFieldBytes * (columns + 1);
  if (options.Has("csv")) {
    files->AddOutput("csv", options.Value("csv"), kMsgCannotSaveFile, csv);
  }
  if (options.Has("frd")) {
    // the comments name each source; a line every 1/48 octave under 48 bytes
    files->AddOutput("frd", options.Value("frd"), kMsgCannotSaveFile,
                     4096 + names + kGridLines * 48);
  }
  if (options.Has("png")) {
    files->AddOutput("png", PicturePath(options), kMsgCannotSaveFile,
                     PngBytesBound(kOverlayPictureWidth, kOverlayPictureHeight));
  }
}

std::string PictureTitle(const std::string& what, int smoothingBands, double gateMs) {
  std::string title = what + ", " + SmoothingName(smoothingBands);
  if (gateMs > 0.0) title += ", gated " + FormatGeneral(gateMs, 4) + " ms";
  return title;
}

bool SaveTraceText(const std::string& path, const std::string& text) {
  const Result<void> whole = WriteWholeFile(path, text.data(), text.size());
  if (whole) return true;
  std::fprintf(stderr, "%s\n", WithWords(kMsgCannotSaveFile, whole.Message()).c_str());
  return false;
}

std::string TraceSummary(const Trace& trace) {
  std::string line = trace.name + ": " + FormatFixed(trace.range.fminHz, 2) + "-" +
                     FormatFixed(trace.range.fmaxHz, 2) + " Hz, at 1 kHz: ";
  const Result<double> at1k = AnchorLevelDb(trace, {1000.0, 1000.0});
  if (!at1k.Ok()) return line + "outside the range";
  return line + FormatFixed(std::round(*at1k * 100.0) / 100.0 + 0.0, 2) +
         (trace.levelScale.empty() ? " dB" : " dB SPL");
}

}  // namespace quorvel

// quorvel-cli polar: an off-axis series of captures ("NAME hor 30.wav"), each gated on the 0
// degree capture's time axis, as an FRD set for crossover tools, a directivity map and a polar
// plot.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "base/atomic_file.h"
#include "base/messages.h"
#include "base/number_text.h"
#include "base/preferences.h"
#include "cli/cli_options.h"
#include "cli/cli_session.h"
#include "cli/command_files.h"
#include "cli/commands.h"
#include "cli/stored_settings.h"
#include "control/polar/polar_angles.h"
#include "control/polar/polar_series_analysis.h"
#include "control/run/failure_words.h"
#include "graph/polar_plots.h"
#include "measurement/polar_series.h"
#include "measurement/trace_smoothing.h"
#include "response/response_export.h"

namespace quorvel {

namespace {

const char kPolarUsage[] =
    "quorvel-cli polar FOLDER|CAPTURE.wav... [--gate MS] [--smooth N] [--normalize]"
    " [--frd-set DIR] [--map FILE.png] [--polar FILE.png --at F1,F2,...]";

constexpr double kDefaultGateMs = 5.0;
constexpr double kMaxGateMs = 500.0;
constexpr size_t kMaxCaptures = 1000;
// A line every 1/48 octave from 1.9 to 24000 Hz under 48 bytes, and the comments.
constexpr uint64_t kPolarFrdBytes = 48 * 700 + 4096;

// The captures the arguments name: each file by its name, each folder's files whose names are
// a series' (the others are passed over). False after the usage error.
bool CollectCaptures(const std::vector<std::string>& arguments,
                     std::vector<SeriesCapture>* captures, std::string* error) {
  for (const std::string& argument : arguments) {
    std::error_code code;
    if (std::filesystem::is_directory(argument, code)) {
      Result<std::vector<SeriesCapture>> found = SeriesCapturesInFolder(argument, kMaxCaptures);
      if (!found) {
        *error = found.Message();
        return false;
      }
      captures->insert(captures->end(), found->begin(), found->end());
      continue;
    }
    const auto name = ParsePolarName(std::filesystem::path(argument).filename().string());
    if (!name) {
      *error = argument + " is not named as a capture of a series: NAME hor|ver ANGLE.wav";
      return false;
    }
    captures->push_back({argument, *name});
  }
  if (captures->empty()) {
    *error = "no capture of a series (NAME hor|ver ANGLE.wav) given";
    return false;
  }
  if (captures->size() > kMaxCaptures) {
    *error = "a series of at most 1000 captures";
    return false;
  }
  for (size_t i = 0; i < captures->size(); ++i) {
    const PolarName& a = (*captures)[i].name;
    if (a.series != captures->front().name.series) {
      *error = "the captures belong to more than one series: \"" + captures->front().name.series +
               "\" and \"" + a.series + "\"";
      return false;
    }
    for (size_t j = 0; j < i; ++j) {
      const PolarName& b = (*captures)[j].name;
      if (a.plane == b.plane && a.angleDeg == b.angleDeg) {
        *error = (*captures)[j].path + " and " + (*captures)[i].path + " are both " +
                 PolarFileName(a, "");
        return false;
      }
    }
  }
  return true;
}

std::string FrdPath(const CliOptions& options, const PolarName& name) {
  return (std::filesystem::path(options.Value("frd-set")) / PolarFileName(name, ".frd")).string();
}

}  // namespace

int RunPolar(const Arguments& args) {
  CliOptions options({"gate", "smooth", "frd-set", "map", "polar", "at"}, {"normalize"},
                     kMaxCaptures + 1);
  std::string error;
  double gateMs = 0.0;
  double smooth = 0.0;
  if (!options.Parse(args, &error) || !options.Number("gate", kDefaultGateMs, &gateMs, &error) ||
      !options.Number("smooth", 0.0, &smooth, &error)) {
    return ArgumentError(error, kPolarUsage);
  }
  if (gateMs <= 0.0 || gateMs > kMaxGateMs) {
    return ArgumentError("the gate is a length in ms, above 0 and at most 500", kPolarUsage);
  }
  // a number far out of range is refused as one just out of it, never cast
  const Result<int> bands = SmoothingBands(static_cast<int>(std::clamp(smooth, -1.0, 1000.0)));
  if (smooth != std::floor(smooth) || !bands.Ok()) {
    return ArgumentError(bands.Ok() ? "--smooth takes a whole number" : bands.Message(),
                         kPolarUsage);
  }
  std::vector<double> at;
  if (options.Has("polar") != options.Has("at")) {
    return ArgumentError("--polar and --at go together", kPolarUsage);
  }
  if (options.Has("at")) {
    Result<std::vector<double>> frequencies = ParsePolarFrequencies(options.Value("at"));
    if (!frequencies) return ArgumentError("--at takes " + frequencies.Message(), kPolarUsage);
    at = std::move(*frequencies);
  }
  std::vector<SeriesCapture> captures;
  if (!CollectCaptures(options.Positional(), &captures, &error)) {
    return ArgumentError(error, kPolarUsage);
  }
  const size_t reference = ReferenceCapture(captures);
  if (reference == captures.size()) {
    return ArgumentError("the series has no 0 degree capture (" +
                             PolarFileName({captures.front().name.series}, ".wav") + ")",
                         kPolarUsage);
  }

  CCommandFiles files;
  for (const SeriesCapture& capture : captures) files.AddInput("the capture", capture.path);
  if (options.Has("frd-set")) {
    for (const SeriesCapture& capture : captures) {
      files.AddOutput("frd-set", FrdPath(options, capture.name), kMsgCannotSaveFile,
                      kPolarFrdBytes);
    }
  }
  const int planes = 2;
  if (options.Has("map")) {
    files.AddOutput("map", options.Value("map"), kMsgCannotSaveFile,
                    PngBytesBound(kPolarMapWidth, planes * kPolarMapPanelHeight));
  }
  if (options.Has("polar")) {
    files.AddOutput("polar", options.Value("polar"), kMsgCannotSaveFile,
                    PngBytesBound(planes * kPolarPlotPanelSize, kPolarPlotPanelSize));
  }
  if (const int refused = files.RefuseSharedFiles(kPolarUsage); refused != kExitOk) {
    return refused;
  }
  if (!files.CheckTargets()) return kExitFailure;

  CCliSession session(AudioChoice::kNone);
  CQuorvelCore& core = session.Core();
  const std::string folder = StoredChartFolder();
  if (!folder.empty()) session.Preferences().WriteString(kPrefCalibFiles, folder);
  const auto said = [](const PolarResponse& response) {
    std::printf("%s: peak %s ms after the 0 degree capture's\n",
                PolarFileName(response.name, "").c_str(),
                FormatFixed(response.peakAfterReferenceMs + 0.0, 3).c_str());
  };
  Result<AnalysedPolarSeries> analysed = AnalysePolarCaptures(core, captures, gateMs, *bands, said);
  if (!analysed) {
    // the load's own reason first, then which capture it was
    error = analysed.Message();
    const size_t cut = error.rfind('\n');
    if (cut != std::string::npos) std::fprintf(stderr, "%s\n", error.substr(0, cut).c_str());
    std::fprintf(stderr, "quorvel-cli polar: %s\n",
                 error.substr(cut == std::string::npos ? 0 : cut + 1).c_str());
    return kExitFailure;
  }
  const PolarSeries& series = analysed->series;
  for (const std::string& warning : analysed->warnings)
    std::fprintf(stderr, "warning: %s\n", warning.c_str());

  // every output that can be written is; each that fails is named
  bool written = true;
  const auto report = [&](bool ok, const std::string& words) {
    if (!ok) {
      std::fprintf(stderr, "%s\n", words.c_str());
      written = false;
    }
  };
  if (options.Has("frd-set")) {
    for (size_t i = 0; i < series.responses.size(); ++i) {
      const std::string text = FormatPolarFrd(series, i);
      const std::string path = FrdPath(options, series.responses[i].name);
      const Result<void> whole = WriteWholeFile(path, text.data(), text.size());
      report(whole.Ok(), WithWords(kMsgCannotSaveFile, whole.Message()));
    }
  }
  const bool normalized = options.Has("normalize");
  if (options.Has("map")) {
    const Result<void> saved = SaveDirectivityMap(options.Value("map"), series, normalized);
    report(saved.Ok(), saved.Message());
  }
  if (options.Has("polar")) {
    const Result<void> saved = SavePolarPlot(options.Value("polar"), series, at, normalized);
    report(saved.Ok(), saved.Message());
  }
  if (!written) return kExitFailure;
  return analysed->warnings.empty() ? kExitOk : kExitWarning;
}

}  // namespace quorvel

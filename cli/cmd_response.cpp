// quorvel-cli response: the impulse response, level and phase, gating and harmonic distortion of
// a saved capture, with its files (FRD, impulse-response WAV, distortion CSV, picture).
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "base/number_text.h"
#include "base/preferences.h"
#include "cli/capture_channel.h"
#include "cli/cli_options.h"
#include "cli/cli_session.h"
#include "cli/command_files.h"
#include "cli/commands.h"
#include "cli/response_view_outputs.h"
#include "cli/spl_settings.h"
#include "cli/stored_settings.h"
#include "control/captures/response_files.h"
#include "control/response/capture_response.h"
#include "control/run/failure_words.h"
#include "graph/curve_image_export.h"
#include "graph/response_plot.h"

namespace quorvel {

namespace {

const char kResponseUsage[] =
    "quorvel-cli response CAPTURE.wav [--fmin F --fmax F] [--gate MS] [--calibration CHART]"
    " [--chart-folder DIR] [--frd FILE] [--ir FILE.wav] [--distortion FILE.csv] [--png FILE]"
    " [--group-delay FILE.csv] [--step FILE.csv] [--csd FILE.png] [--csd-csv FILE.csv]"
    " [--spectrogram FILE.png] [--channel left|right] [--spl [--input NAME] [--gain DB]]";

using ResponseWriter = Result<void> (*)(const std::string&, const CImpulseAnalysis&);

struct ResponseOutput {
  const char* option;
  ResponseWriter write;
  uint64_t bytes;  // at most, kept free on the disk before the analysis
};

constexpr ResponseOutput kOutputs[] = {
    // a line every 1/48 octave from 1.9 to 24000 Hz, under 48 bytes, and the comments
    {"frd", SaveFrd, 48 * 700 + 4096},
    // 500 ms of 32-bit samples and the headers
    {"ir", SaveImpulseWav, 100000},
    // a line every 1/12 octave, under 128 bytes
    {"distortion", SaveDistortionCsv, 128 * 180},
    {"png", SaveResponsePicture, PngBytesBound(kResponsePictureWidth, 2 * kResponsePlotHeight)},
    {"group-delay", SaveGroupDelayCsv, kGroupDelayCsvBytes},
    {"step", SaveStepCsv, kStepCsvBytes},
    {"csd", SaveDecayPicture, kViewPictureBytes},
    {"csd-csv", SaveDecayCsv, kDecayCsvBytes},
    {"spectrogram", SaveSpectrogramPicture, kViewPictureBytes}};

// Where an output goes: the picture gets ".png" when its name lacks it, as analyze's do.
std::string OutputPath(const CliOptions& options, const std::string& option) {
  const std::string path = options.Value(option);
  return option == "png" ? WithImageExtension(path, "png") : path;
}

// The capture, the chart and the outputs of the command.
void AddResponseFiles(const CliOptions& options, CCommandFiles* files) {
  files->AddInput("the capture", options.Positional()[0]);
  if (options.Has("calibration")) files->AddInput("--calibration", options.Value("calibration"));
  for (const ResponseOutput& output : kOutputs) {
    if (!options.Has(output.option)) continue;
    files->AddOutput(output.option, OutputPath(options, output.option), kMsgCannotSaveFile,
                     output.bytes);
  }
}

// value with `decimals` digits, never "-0.00"
std::string Rounded(double value, int decimals) {
  const double scale = std::pow(10.0, decimals);
  return FormatFixed(std::round(value * scale) / scale + 0.0, decimals);
}

// The lines printed when no file is asked for: the peak, the level at 1 kHz and the gate.
void PrintSummary(const std::string& path, const CImpulseAnalysis& analysis) {
  const double peak = analysis.PeakPosition();
  std::printf("%s: %s-%s Hz, impulse response peak at sample %s (%s ms)\n", path.c_str(),
              FormatFixed(analysis.Fmin(), 2).c_str(), FormatFixed(analysis.Fmax(), 2).c_str(),
              FormatFixed(peak, 2).c_str(),
              FormatFixed(peak * 1000.0 / CImpulseAnalysis::kRate, 3).c_str());
  if (analysis.Fmin() <= 1000.0 && 1000.0 <= analysis.Fmax()) {
    const LevelPhase at1k = analysis.ResponseAt(1000.0);
    std::printf("at 1 kHz: %s %s, %s deg\n", Rounded(at1k.levelDb, 2).c_str(),
                analysis.LevelScaleWords().empty() ? "dB" : "dB SPL",
                Rounded(at1k.phaseDeg, 1).c_str());
  } else {
    std::printf("at 1 kHz: outside the range\n");
  }
  if (analysis.AppliedGateMs() > 0.0) {
    std::printf("gate: %s ms after the peak\n", FormatGeneral(analysis.AppliedGateMs(), 6).c_str());
  } else {
    std::printf("gate: none (the linear response spans %s ms either side of the peak)\n",
                FormatFixed(analysis.UngatedWindowMs(), 1).c_str());
  }
}

// The delay from the timing reference and the devices' clocks, for a capture that has one.
void PrintTiming(const CImpulseAnalysis& analysis) {
  const ResponseTiming& timing = analysis.GetTimeReference();
  if (!timing.loopback) return;
  std::printf("delay %s ms (%s samples, %s m at 343 m/s) from the timing reference\n",
              FormatFixed(timing.delaySamples * 1000.0 / CImpulseAnalysis::kRate, 3).c_str(),
              FormatFixed(timing.delaySamples, 2).c_str(),
              FormatFixed(timing.delaySamples / CImpulseAnalysis::kRate * 343.0, 2).c_str());
  std::printf("timing reference peak at sample %s, clock drift %s ppm (input against output)\n",
              FormatFixed(timing.position, 2).c_str(), Rounded(timing.driftPpm, 1).c_str());
}

}  // namespace

int RunResponse(const Arguments& args) {
  CliOptions options(
      {"fmin", "fmax", "gate", "calibration", "chart-folder", "frd", "ir", "distortion", "png",
       "group-delay", "step", "csd", "csd-csv", "spectrogram", "input", "gain", "channel"},
      {"spl"}, 1);
  std::string error;
  if (!options.Parse(args, &error)) return ArgumentError(error, kResponseUsage);
  if (options.Positional().empty()) return ArgumentError("no capture file given", kResponseUsage);
  CaptureResponseRequest request;
  request.path = options.Positional()[0];
  request.fminGiven = options.Has("fmin");
  request.fmaxGiven = options.Has("fmax");
  request.chartPath = options.Value("calibration");
  if (const int bad = ReadCaptureChannel(options, kResponseUsage, &request); bad != kExitOk) {
    return bad;
  }
  if (!options.Number("fmin", 20.0, &request.fmin, &error) ||
      !options.Number("fmax", 20000.0, &request.fmax, &error) ||
      !options.Number("gate", 0.0, &request.gateMs, &error)) {
    return ArgumentError(error, kResponseUsage);
  }
  if (request.gateMs < 0.0) {
    return ArgumentError("the gate is a length in ms, 0 or more", kResponseUsage);
  }
  SplScale scale;
  if (const int bad = CaptureSplScale(options, kResponseUsage, &scale); bad != kExitOk) return bad;

  CCommandFiles files;
  AddResponseFiles(options, &files);
  if (const int refused = files.RefuseSharedFiles(kResponseUsage); refused != kExitOk) {
    return refused;
  }

  // The capture is read once and analysed offline: no engine is made.
  CCliReading session;
  // A microphone the file names is looked up as analyze looks it up.
  const std::string folder =
      options.Has("chart-folder") ? options.Value("chart-folder") : StoredChartFolder();
  if (!folder.empty()) session.Preferences().WriteString(kPrefCalibFiles, folder);
  Result<LoadedResponseCapture> read = LoadCaptureForResponse(session.Reading(), request);
  if (!read) {
    // the range's refusal is the one left to say
    return read.Message().empty() ? kExitFailure : ArgumentError(read.Message(), kResponseUsage);
  }
  const LoadedResponseCapture loaded = std::move(*read);
  // Before the analysis: each output that cannot be saved where it is to go is named.
  if (!files.CheckTargets()) return kExitFailure;

  CImpulseAnalysis analysis;
  std::vector<std::string> warnings;
  switch (
      AnalyzeCaptureResponse(session.Messages(), loaded, request.gateMs, &analysis, &warnings)) {
    case CaptureResponseResult::kOk:
      break;
    case CaptureResponseResult::kRangeRefused:
      return ArgumentError("the range is outside what the recording holds", kResponseUsage);
    default:
      return kExitFailure;
  }
  for (const std::string& warning : warnings) {
    std::fprintf(stderr, "warning: %s\n", warning.c_str());
  }
  if (scale.spl) analysis.SetLevelScale(SplOfTransferLevel(0.0, scale.offsetDb), scale.words);

  // every output that can be written is; each that fails is named
  bool asked = false;
  bool written = true;
  for (const ResponseOutput& output : kOutputs) {
    if (!options.Has(output.option)) continue;
    asked = true;
    if (const Result<void> saved = output.write(OutputPath(options, output.option), analysis);
        !saved) {
      std::fprintf(stderr, "%s\n", saved.Message().c_str());
      written = false;
    }
  }
  if (!asked) PrintSummary(request.path, analysis);
  PrintTiming(analysis);
  if (!written) return kExitFailure;
  return warnings.empty() ? kExitOk : kExitWarning;
}

}  // namespace quorvel

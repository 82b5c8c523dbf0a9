// quorvel-cli eq: an equaliser fitted to a saved capture's response level, printed and written
// for PipeWire, EasyEffects, CamillaDSP and Equalizer APO, with its curves as CSV and picture.
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "base/preferences.h"
#include "cli/cli_options.h"
#include "cli/cli_session.h"
#include "cli/command_files.h"
#include "cli/commands.h"
#include "cli/eq_arguments.h"
#include "cli/eq_outputs.h"
#include "cli/stored_settings.h"
#include "control/eq/eq_design.h"
#include "control/response/capture_response.h"
#include "measurement/trace.h"

namespace quorvel {

namespace {

const char kEqUsage[] =
    "quorvel-cli eq CAPTURE.wav [--target flat|FILE] [--bass-rise DB --bass-corner HZ] [--tilt DB]"
    " [--filters N] [--max-boost DB] [--match F1,F2] [--smooth N] [--gate MS]"
    " [--calibration CHART] [--pipewire FILE] [--easyeffects FILE] [--camilladsp FILE]"
    " [--apo FILE] [--png FILE] [--csv FILE]";

}  // namespace

int RunEq(const Arguments& args) {
  CliOptions options(
      {"target", "bass-rise", "bass-corner", "tilt", "filters", "max-boost", "match", "smooth",
       "gate", "calibration", "pipewire", "easyeffects", "camilladsp", "apo", "png", "csv"},
      {}, 1);
  std::string error;
  if (!options.Parse(args, &error)) return ArgumentError(error, kEqUsage);
  if (options.Positional().empty()) return ArgumentError("no capture file given", kEqUsage);
  EqArguments asked;
  if (!ReadEqArguments(options, &asked, &error)) return ArgumentError(error, kEqUsage);

  CCommandFiles files;
  files.AddInput("the capture", options.Positional()[0]);
  if (options.Has("calibration")) files.AddInput("--calibration", options.Value("calibration"));
  if (!asked.targetPath.empty()) files.AddInput("--target", asked.targetPath);
  AddEqOutputs(options, &files);
  if (const int refused = files.RefuseSharedFiles(kEqUsage); refused != kExitOk) return refused;

  CaptureResponseRequest request;
  request.path = options.Positional()[0];
  request.chartPath = options.Value("calibration");
  request.gateMs = asked.gateMs;
  CCliSession session(AudioChoice::kNone);
  CQuorvelCore& core = session.Core();
  // a microphone the capture names is looked up where the window keeps its charts
  if (const std::string folder = StoredChartFolder(); !folder.empty()) {
    session.Preferences().WriteString(kPrefCalibFiles, folder);
  }
  Result<LoadedResponseCapture> read = LoadCaptureForResponse(core, request);
  if (!read) {
    // the range's refusal is the one left to say
    return read.Message().empty() ? kExitFailure : ArgumentError(read.Message(), kEqUsage);
  }
  const LoadedResponseCapture loaded = std::move(*read);
  if (!FitMatchRange(loaded.fmin, loaded.fmax, &asked, &error)) {
    return ArgumentError(error, kEqUsage);
  }
  if (!asked.targetPath.empty()) {
    if (const Result<void> target = ReadEqTargetFile(asked.targetPath, &asked.target); !target) {
      std::fprintf(stderr, "quorvel-cli: %s\n", target.Message().c_str());
      return kExitFailure;
    }
  }
  // Before the analysis: each output that cannot be saved where it is to go is named.
  if (!files.CheckTargets()) return kExitFailure;

  CImpulseAnalysis analysis;
  std::vector<std::string> warnings;
  if (AnalyzeCaptureResponse(core, loaded, asked.gateMs, &analysis, &warnings) !=
      CaptureResponseResult::kOk) {
    return kExitFailure;
  }
  for (const std::string& warning : warnings) {
    std::fprintf(stderr, "warning: %s\n", warning.c_str());
  }
  EqOutcome outcome;
  outcome.name = std::filesystem::path(request.path).stem().string();
  Result<Trace> trace = TraceFromAnalysis(analysis, outcome.name);
  if (!trace.Ok()) {
    std::fprintf(stderr, "%s\n", trace.Message().c_str());
    return kExitFailure;
  }
  outcome.trace = {trace->frequenciesHz, trace->levelsDb};
  outcome.options = asked.fit;
  outcome.fit = FitEqualiser(outcome.trace, asked.target, asked.fit);
  if (!outcome.fit.error.empty()) {
    std::fprintf(stderr, "quorvel-cli: no equaliser for this capture: %s\n",
                 outcome.fit.error.c_str());
    return kExitFailure;
  }
  CompleteEqOutcome(asked.target, &outcome);
  PrintEqOutcome(outcome);
  if (!WriteEqOutputs(options, outcome)) return kExitFailure;
  return warnings.empty() ? kExitOk : kExitWarning;
}

}  // namespace quorvel

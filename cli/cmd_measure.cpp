// quorvel-cli measure: a complete measurement on the chosen (or default) devices, with a
// progress line, then the curve as CSV, pictures and the recording as a capture file.
#include <atomic>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "audio/auto_reset_event.h"
#include "audio/backend/audio_backend.h"
#include "base/number_text.h"
#include "base/point_frequency.h"
#include "base/result.h"
#include "base/user_messages.h"
#include "base/util.h"
#include "cli/cli_options.h"
#include "cli/cli_session.h"
#include "cli/command_files.h"
#include "cli/commands.h"
#include "cli/console_messages.h"
#include "cli/curve_outputs.h"
#include "cli/spl_settings.h"
#include "control/captures/capture_files.h"
#include "control/eq/through_eq.h"
#include "control/response/capture_response.h"
#include "control/run/measurement_request.h"
#include "control/run/measurement_sequence.h"
#include "control/settings/spl_calibration.h"
#include "engine/point_timing.h"
#include "eq/eq_apo_reader.h"
#include "measurement/measurement_response.h"
#include "response/reference_timing.h"

namespace quorvel {

namespace {

const char kMeasureUsage[] =
    "quorvel-cli measure [--input NAME] [--output NAME] [--simulated] [--fmin F] [--fmax F]"
    " [--gain DB] [--calibration CHART] [--save CAPTURE.wav] [--csv FILE] [--png FILE]"
    " [--bmp FILE] [--sim-angle DEG] [--spl] [--through-eq EQ.txt]"
    " [--channel louder|left|right] [--reference left|right]";

// The longest wait for the curve, on the devices' clock: a sweep lasts about 22 s [ms].
constexpr uint32_t kMeasureTimeoutMs = 60000;

// The sequence's steps come this often, or at once after Ctrl-C; the progress line follows
// them [ms].
constexpr int kTickMs = 100;

// Ctrl-C asks the running measurement to stop and wakes the loop (an atomic store and a futex
// wake: safe in a signal handler).
std::atomic<CMeasurementSequence*> g_running{nullptr};
CAutoResetEvent g_wakeLoop;

extern "C" void OnInterrupt(int) {
  CMeasurementSequence* sequence = g_running.load();
  if (sequence != nullptr) sequence->RequestStop();
  g_wakeLoop.Signal();
}

// The measurement's steps with its progress between them: what the start waits for, then the
// points of 1001 and the frequency of the last one. On a terminal one line rewrites itself;
// into a pipe or a log a line is printed at every change of phase and every 100 points.
SequenceStatus RunWithProgress(CQuorvelCore& core, CConsoleMessages& console,
                               const MeasurementRequest& request) {
  CMeasurementSequence& sequence = core.Sequence();
  std::string shown;
  int shownPoints = 0;
  auto progress = [&]() {
    const int points = core.Graph().m_count.load();
    std::string text = sequence.WaitingText();
    const bool pointLine = text.empty() && points > 0;
    if (text.empty() && points == 0) {
      text = core.Audio().Counters().synced ? "sync burst found, settling..."
                                            : "waiting for the sync burst...";
    } else if (pointLine) {
      char line[64];
      std::snprintf(line, sizeof(line), "%4d of 1001 points, %9.1f Hz", points,
                    PointFrequency(points - 1, request.fmin, request.fmax));
      text = line;
    }
    if (text == shown) return;
    if (pointLine && !console.ProgressOnTerminal() && points / 100 == shownPoints / 100 &&
        points < kPointsPerCurve) {
      return;
    }
    shown = text;
    if (pointLine) shownPoints = points;
    console.ShowProgress(text);
  };

  g_running.store(&sequence);
  std::signal(SIGINT, OnInterrupt);
  if (sequence.Start(request)) {
    // A device the server resamples is said before the sweep, and again with the curve.
    if (!sequence.RateWarning().empty()) {
      std::fprintf(stderr, "Warning: %s\n", sequence.RateWarning().c_str());
    }
    while (sequence.Tick() == SequenceStatus::kRunning) {
      progress();
      static_cast<void>(g_wakeLoop.Wait(std::chrono::milliseconds(kTickMs)));
    }
  }
  const SequenceStatus outcome = sequence.Finish();
  std::signal(SIGINT, SIG_DFL);
  g_running.store(nullptr);
  // After a failure its message is the last word: no progress line follows it.
  if (outcome == SequenceStatus::kComplete) progress();
  console.EndProgress();
  return outcome;
}

// The request the options ask for: the range (any range within the limits, not only the
// window's steps) and the gain, checked before any device is touched. False with the reason.
bool ReadMeasureOptions(const CliOptions& options, MeasurementRequest* request,
                        std::string* error) {
  request->range = RangeRule::kAnyWithinLimits;
  request->timeoutMs = kMeasureTimeoutMs;
  const std::string channel = options.Value("channel");
  const std::string reference = options.Value("reference");
  if (const Result<void> read =
          ReadInputChannels(options.Has("channel") ? &channel : nullptr,
                            options.Has("reference") ? &reference : nullptr, request);
      !read) {
    *error = read.Message();
    return false;
  }
  if (!options.Number("fmin", 20.0, &request->fmin, error) ||
      !options.Number("fmax", 20000.0, &request->fmax, error) ||
      !options.Number("gain", 0.0, &request->gainDb, error)) {
    return false;
  }
  const Result<void> numbers = CheckRequestNumbers(*request);
  if (!numbers) *error = numbers.Message();
  return numbers.Ok();
}

// The devices the options name (the first input and the default output when they name none),
// said on stderr. False after the message of a name that names no device.
bool ChooseDevices(CCliSession& session, const CliOptions& options, MeasurementRequest* request) {
  CQuorvelCore& core = session.Core();
  const std::vector<std::string> inputs = core.InputNames();
  const std::vector<std::string> outputs = core.OutputNames();
  const std::string inputName = options.Value("input");
  const std::string outputName = options.Value("output");
  if (const Result<void> built =
          BuildMeasurementRequest(inputs, outputs, options.Has("input") ? &inputName : nullptr,
                                  options.Has("output") ? &outputName : nullptr, request);
      !built) {
    session.Messages().ShowMessage(built.Message());
    return false;
  }
  if (request->inputIndex >= static_cast<int>(inputs.size()) || request->outputIndex < 0) {
    return true;  // nothing to name: opening the input says why
  }
  const std::string& input = inputs[static_cast<size_t>(request->inputIndex)];
  const std::string& output = outputs[static_cast<size_t>(request->outputIndex)];
  std::fprintf(stderr, "Input: %s\nOutput: %s\n", input.c_str(), output.c_str());
  return true;
}

// A capture file's name follows the same rule as Save Audio File's (on Linux it refuses none).
// False after the message of a name it refuses.
bool CheckCaptureName(const CliOptions& options) {
  char mended[CUtil::kCheckFileNameSize];
  if (!options.Has("save") || CUtil::CheckFileName(mended, options.Value("save").c_str()) == 0) {
    return true;
  }
  std::fprintf(stderr, "Could not create File!\n");
  return false;
}

// The delay and the clocks' drift the timing reference gives the finished recording.
void PrintReferenceTiming(CQuorvelCore& core, const MeasurementRequest& request,
                          std::vector<std::string>* warnings) {
  const std::optional<Measurement>& last = core.Sequence().LastMeasurement();
  ResponseTiming timing;
  if (!last.has_value() ||
      !TimeRecordingFromReference(last->GetRecording(), request.fmin, request.fmax, &timing)) {
    warnings->push_back("the timing reference holds no impulse response: no delay was measured");
    return;
  }
  std::printf("delay %s ms (%s samples, %s m at 343 m/s) from the timing reference\n",
              FormatFixed(timing.delaySamples / 48.0, 3).c_str(),
              FormatFixed(timing.delaySamples, 2).c_str(),
              FormatFixed(timing.delaySamples / 48000.0 * 343.0, 2).c_str());
  std::printf("clock drift %s ppm (input against output)\n",
              FormatFixed(timing.driftPpm, 1).c_str());
  const std::string drift = ClockDriftWarning(timing);
  if (!drift.empty()) warnings->push_back(drift);
}

// Without a timing reference: how long after the played sweep the impulse response peaks.
void PrintPlayedTiming(CQuorvelCore& core) {
  const std::optional<Measurement>& last = core.Sequence().LastMeasurement();
  if (!last.has_value() || !last->PlayedStart()) return;
  CImpulseAnalysis analysis;
  analysis.SetHarmonicsWanted(false);
  if (AnalyseMeasurementResponse(*last, 0.0, &analysis) != ResponseStatus::kOk) return;
  const std::optional<double> delay = analysis.GetTimeReference().playedDelaySamples;
  if (!delay) return;
  std::printf("impulse response peak %s\n", PlayedDelayWords(*delay).c_str());
}

// The outputs of a complete measurement: the curve (--csv, --png, --bmp) and the recording
// (--save), then the summary lines and the curve's warnings. kExitFailure when one of them
// could not be written, else kExitWarning when the curve carries a warning.
int WriteMeasureOutputs(const CliOptions& options, CQuorvelCore& core,
                        const MeasurementRequest& request, const SplScale& scale) {
  bool written = WriteCurveOutputs(options, core, request.fmin, request.fmax, false, scale);
  if (options.Has("save")) {
    // What Save Audio File writes: the finished measurement's recording with its tags.
    const CaptureReadContext files = core.FileContext().Reading();
    const Measurement* measurement = core.Sequence().FinishedRunMeasurement();
    if (!CheckMeasurementToSave(files, measurement) ||
        !SaveMeasurementCapture(files, *measurement, options.Value("save"))) {
      written = false;
    }
  }
  std::printf("%d of 1001 points, %.2f-%.2f Hz, recording of %d samples\n",
              core.Graph().m_count.load(), request.fmin, request.fmax,
              core.Audio().Counters().capturedCount);
  PrintCurveEnds(core, request.fmin, request.fmax, scale);
  // The curve is whole, but a clipped input or another program's sound corrupted it.
  std::vector<std::string> warnings = core.Sequence().Warnings();
  if (request.reference != ReferenceChannel::kNone) {
    PrintReferenceTiming(core, request, &warnings);
  } else {
    PrintPlayedTiming(core);
  }
  for (const std::string& warning : warnings)
    std::fprintf(stderr, "Warning: %s\n", warning.c_str());
  if (!written) return kExitFailure;
  return warnings.empty() ? kExitOk : kExitWarning;
}

}  // namespace

int RunMeasure(const Arguments& args) {
  CliOptions options({"input", "output", "fmin", "fmax", "gain", "calibration", "save", "csv",
                      "png", "bmp", "sim-angle", "through-eq", "channel", "reference"},
                     {"simulated", "spl"}, 0);
  std::string error;
  MeasurementRequest request;
  double simAngle = 0.0;
  if (!options.Parse(args, &error) || !ReadMeasureOptions(options, &request, &error) ||
      !options.Number("sim-angle", 0.0, &simAngle, &error)) {
    return ArgumentError(error, kMeasureUsage);
  }
  if (std::fabs(simAngle) > 360.0) {
    return ArgumentError("--sim-angle is an angle in degrees, -360 to 360", kMeasureUsage);
  }
  CCommandFiles files;
  if (options.Has("through-eq")) files.AddInput("--through-eq", options.Value("through-eq"));
  AddCurveCommandFiles(options, &files);
  if (const int refused = files.RefuseSharedFiles(kMeasureUsage); refused != kExitOk) {
    return refused;
  }
  // A measurement is not made to be thrown away: every output must have a place to go first,
  // with room for it.
  const bool named = CheckCaptureName(options);
  if (!files.CheckTargets() || !named) return kExitFailure;
  // The equaliser to measure through, as quorvel-cli eq --apo writes it (or AutoEQ).
  if (options.Has("through-eq")) {
    const std::string path = options.Value("through-eq");
    Result<EqFilterSet> set = ReadApoFile(path);
    if (!set) {
      std::fprintf(stderr, "quorvel-cli: no equaliser to measure through: %s\n",
                   set.Message().c_str());
      return kExitFailure;
    }
    std::fprintf(stderr, "Through the equaliser: %s, %zu filters, preamp %s dB\n",
                 ThroughEqName(std::filesystem::path(path).stem().string()).c_str(),
                 set->filters.size(), FormatFixed(set->preampDb, 1).c_str());
    request.throughEq = std::move(*set);
  }

  CCliSession session(options.Has("simulated") ? AudioChoice::kSimulated : AudioChoice::kDefault);
  CQuorvelCore& core = session.Core();
  std::fprintf(stderr, "Audio services: %s\n", core.ServicesDescription().c_str());
  // The simulated loudspeaker heard off its axis (QUORVEL_SIM_ANGLE's, given here instead).
  if (options.Has("sim-angle") && !SetSimulatedLoudspeakerAngle(*core.Services(), simAngle)) {
    return ArgumentError("--sim-angle turns the simulated loudspeaker only (with --simulated)",
                         kMeasureUsage);
  }
  // The simulated input carries the played signal on the reference's channel when asked for.
  if (request.reference != ReferenceChannel::kNone) {
    static_cast<void>(SetSimulatedLoopback(*core.Services(), static_cast<int>(request.reference)));
  }
  if (!ChooseDevices(session, options, &request)) return kExitFailure;
  // Levels in dB SPL need the calibration of the input, channel and gain measured with.
  SplScale scale;
  if (options.Has("spl")) {
    const std::vector<std::string> inputs = core.InputNames();
    const SplInput input{request.inputIndex < static_cast<int>(inputs.size())
                             ? inputs[static_cast<size_t>(request.inputIndex)]
                             : std::string(),
                         InputChannelName(request.channel), request.gainDb};
    CStoredSplCalibrations store;
    double offsetDb = 0.0;
    if (!FindSplOffset(store, input, &offsetDb)) {
      return ArgumentError(NoSplCalibrationMessage(input), kMeasureUsage);
    }
    scale = SplScaleOf(input, offsetDb);
  }

  core.Graph().ClearCurve();
  // The chart for the coming curve's range, before the sweep plays.
  if (options.Has("calibration")) {
    const Result<void> applied =
        core.MicroList().ApplyChartFile(options.Value("calibration"), request.fmin, request.fmax);
    if (!applied) {
      core.Messages().ShowMessage(applied.Message());
      return kExitFailure;
    }
  }
  const SequenceStatus outcome = RunWithProgress(core, session.Messages(), request);
  if (outcome == SequenceStatus::kStopped) {
    std::fprintf(stderr, "Measurement stopped\n");
    return kExitFailure;
  }
  if (outcome == SequenceStatus::kFailed) return kExitFailure;
  return WriteMeasureOutputs(options, core, request, scale);
}

}  // namespace quorvel

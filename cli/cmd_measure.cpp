// quorvel-cli measure: a complete measurement on the chosen (or default) devices, with a
// progress line, then the curve as CSV, pictures and the recording as a capture file.
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <string>
#include <thread>

#include "base/point_frequency.h"
#include "cli/calibration_options.h"
#include "cli/cli_options.h"
#include "cli/cli_session.h"
#include "cli/commands.h"
#include "cli/console_messages.h"
#include "cli/curve_outputs.h"
#include "control/capture_files.h"
#include "control/measurement_sequence.h"
#include "engine/device_enumeration.h"

namespace quorvel {

namespace {

const char kMeasureUsage[] =
    "quorvel-cli measure [--input NAME] [--output NAME] [--simulated] [--fmin F] [--fmax F]"
    " [--gain DB] [--calibration CHART] [--save CAPTURE.wav] [--csv FILE] [--png FILE]"
    " [--bmp FILE]";

// The longest wait for the curve, on the devices' clock: a sweep lasts about 22 s [ms].
constexpr uint32_t kMeasureTimeoutMs = 60000;

// The sequence's steps come this often [ms].
constexpr int kTickMs = 10;

// Ctrl-C asks the running measurement to stop (an atomic store: safe in a signal handler).
std::atomic<CMeasurementSequence*> g_running{nullptr};

extern "C" void OnInterrupt(int) {
  CMeasurementSequence* sequence = g_running.load();
  if (sequence != nullptr) sequence->RequestStop();
}

// Index of the entry named `name` (letters compared upper-cased; a name that starts an entry
// when no entry matches whole), or -1. An empty name names no entry.
int FindDevice(const std::vector<std::string>& names, const std::string& name) {
  if (name.empty()) return -1;
  const int count = static_cast<int>(names.size());
  for (int i = 0; i < count; ++i) {
    if (DeviceNamesEqual(names[i].c_str(), name.c_str())) return i;
  }
  for (int i = 0; i < count; ++i) {
    if (DeviceNameStartsWith(names[i].c_str(), name.c_str(), name.size())) return i;
  }
  return -1;
}

// A line that names a device the server resamples, or empty for one at 48000 Hz (or of an
// unknown rate).
std::string ResampledNote(const char* role, const char* name, uint32_t rate) {
  if (rate == 0 || rate == static_cast<uint32_t>(CAudio::kSampleRate)) return std::string();
  char line[1400];
  std::snprintf(line, sizeof(line),
                "Note: the %s \"%s\" runs at %u Hz; the audio server resamples to and from "
                "48000 Hz, and the top octave shows its resampler",
                role, name, rate);
  return line;
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
        points < 1001) {
      return;
    }
    shown = text;
    if (pointLine) shownPoints = points;
    console.ShowProgress(text);
  };

  g_running.store(&sequence);
  std::signal(SIGINT, OnInterrupt);
  if (sequence.Start(request)) {
    while (sequence.Tick() == SequenceStatus::kRunning) {
      progress();
      std::this_thread::sleep_for(std::chrono::milliseconds(kTickMs));
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

}  // namespace

int RunMeasure(const Arguments& args) {
  CliOptions options(
      {"input", "output", "fmin", "fmax", "gain", "calibration", "save", "csv", "png", "bmp"},
      {"simulated"}, 0);
  std::string error;
  if (!options.Parse(args, &error)) return ArgumentError(error, kMeasureUsage);
  double fmin = 0.0;
  double fmax = 0.0;
  double gainDb = 0.0;
  if (!options.Number("fmin", 20.0, &fmin, &error) ||
      !options.Number("fmax", 20000.0, &fmax, &error) ||
      !options.Number("gain", 0.0, &gainDb, &error)) {
    return ArgumentError(error, kMeasureUsage);
  }
  if (!CheckSweepRange(fmin, fmax, &error)) return ArgumentError(error, kMeasureUsage);
  if (!(gainDb >= -12.0 && gainDb <= 12.0)) {
    return ArgumentError("the gain lies within -12 .. +12 dB", kMeasureUsage);
  }
  // A measurement is not made to be thrown away: every output must have a place to go first.
  if (!CheckOutputPaths(options)) return kExitFailure;

  CCliSession session(options.Has("simulated") ? AudioChoice::kSimulated : AudioChoice::kDefault);
  CQuorvelCore& core = session.Core();
  CAudio& audio = core.Audio();
  std::fprintf(stderr, "Audio services: %s\n", core.ServicesDescription().c_str());

  MeasurementRequest request;
  request.fmin = fmin;
  request.fmax = fmax;
  request.gainDb = gainDb;
  request.timeoutMs = kMeasureTimeoutMs;
  request.inputIndex = 0;
  if (options.Has("input")) {
    request.inputIndex = FindDevice(audio.InputNames(), options.Value("input"));
    if (request.inputIndex < 0) {
      session.Messages().ShowMessage(kMsgInvalidInput);
      return kExitFailure;
    }
  }
  request.outputIndex = audio.OutputCount() - 1;  // the default output
  if (options.Has("output")) {
    request.outputIndex = FindDevice(audio.OutputNames(), options.Value("output"));
    if (request.outputIndex < 0) {
      session.Messages().ShowMessage(std::string(kMsgCannotOpenOutput) +
                                     OutputOpenErrorText(kMmErrBadDeviceId));
      return kExitFailure;
    }
  }
  if (audio.InputCount() > 0 && request.inputIndex < audio.InputCount()) {
    std::fprintf(stderr, "Input: %s\nOutput: %s\n", audio.InputName(request.inputIndex),
                 audio.OutputName(request.outputIndex));
    IAudioServices* services = audio.Services();
    const int outputId = request.outputIndex == audio.OutputCount() - 1 ? -1 : request.outputIndex;
    for (const std::string& note :
         {ResampledNote("Audio Input", audio.InputName(request.inputIndex),
                        services->CaptureEndpointRate(request.inputIndex)),
          ResampledNote("Audio Output", audio.OutputName(request.outputIndex),
                        services->OutputDeviceRate(outputId))}) {
      if (!note.empty()) std::fprintf(stderr, "%s\n", note.c_str());
    }
  }

  core.Graph().ClearCurve();
  // The chart for the coming curve's range, before the sweep plays.
  if (options.Has("calibration") &&
      !ApplyCalibrationOption(core, options.Value("calibration"), fmin, fmax)) {
    return kExitFailure;
  }
  const SequenceStatus outcome = RunWithProgress(core, session.Messages(), request);
  if (outcome == SequenceStatus::kStopped) {
    std::fprintf(stderr, "Measurement stopped\n");
    return kExitFailure;
  }
  if (outcome == SequenceStatus::kFailed) return kExitFailure;

  // Every output that can be written is; each that cannot is named.
  bool written = WriteCurveOutputs(options, core, fmin, fmax, false);
  if (options.Has("save")) {
    // What Save Audio File writes: the recording (already at the start of the record track)
    // with its tags.
    const CaptureFileContext files = core.FileContext();
    if (!CheckCaptureToSave(files) || !SaveCaptureFile(files, options.Value("save"))) {
      written = false;
    }
  }
  std::printf("%d of 1001 points, %.2f-%.2f Hz, recording of %d samples\n",
              core.Graph().m_count.load(), fmin, fmax, audio.Counters().capturedCount);
  PrintCurveEnds(core, fmin, fmax);
  // The curve is whole, but a clipped input flattened its peaks.
  const std::string warning = core.Sequence().ClipWarning();
  if (!warning.empty()) std::fprintf(stderr, "Warning: %s\n", warning.c_str());
  return written ? kExitOk : kExitFailure;
}

}  // namespace quorvel

// quorvel-cli measure: a complete measurement on the chosen (or default) devices, with a
// progress line, then the curve as CSV, pictures and the recording as a capture file.
#include <atomic>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>

#include "audio/backend/audio_backend.h"
#include "base/shared_state.h"
#include "cli/cli_options.h"
#include "cli/commands.h"
#include "cli/console_messages.h"
#include "cli/curve_csv.h"
#include "control/capture_files.h"
#include "control/measurement_sequence.h"
#include "control/memory_preferences.h"
#include "engine/audio_engine.h"
#include "engine/device_enumeration.h"
#include "files/wave_file.h"
#include "graph/curve_image_render.h"
#include "graph/graphical.h"

namespace {

const char kMeasureUsage[] =
    "quorvel-cli measure [--input NAME] [--output NAME] [--simulated] [--fmin F] [--fmax F]"
    " [--gain DB] [--save CAPTURE.wav] [--csv FILE] [--png FILE] [--bmp FILE]";

// The longest wait for the curve, on the devices' clock: a sweep lasts about 22 s [ms].
constexpr uint32_t kMeasureTimeoutMs = 60000;

// Ctrl-C asks the running measurement to stop (an atomic store: safe in a signal handler).
std::atomic<CMeasurementSequence*> g_running{nullptr};

extern "C" void OnInterrupt(int) {
  CMeasurementSequence* sequence = g_running.load();
  if (sequence != nullptr) sequence->RequestStop();
}

// Index of the entry named `name` (letters compared upper-cased; a name that starts an entry
// when no entry matches whole), or -1.
int FindDevice(const char (*names)[CAudio::kDeviceNameBytes], int count, const std::string& name) {
  for (int i = 0; i < count; ++i) {
    if (DeviceNamesEqual(names[i], name.c_str())) return i;
  }
  for (int i = 0; i < count; ++i) {
    if (DeviceNameStartsWith(names[i], name.c_str(), name.size())) return i;
  }
  return -1;
}

}  // namespace

int RunMeasure(const Arguments& args) {
  CliOptions options({"input", "output", "fmin", "fmax", "gain", "save", "csv", "png", "bmp"},
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
  if (!(fmin > 0.0 && fmin < fmax && fmax <= 24000.0)) {
    return ArgumentError("the range needs 0 < fmin < fmax <= 24000", kMeasureUsage);
  }
  if (!(gainDb >= -12.0 && gainDb <= 12.0)) {
    return ArgumentError("the gain lies within -12 .. +12 dB", kMeasureUsage);
  }

  std::string description;
  const std::unique_ptr<IAudioServices> services =
      CreateAudioServices(options.Has("simulated"), &description);
  std::fprintf(stderr, "Audio services: %s\n", description.c_str());

  CSharedState shared;
  CConsoleMessages messages;
  auto audio = std::make_unique<CAudio>(services.get());
  auto graph = std::make_unique<CGraphical>(shared);
  graph->SetRecordCounters(&audio->m_recordCount, &audio->m_capturedCount);
  auto sequence = std::make_unique<CMeasurementSequence>(*audio, *graph, shared, messages);
  audio->SetCurveListener(graph.get());

  int inputs = 0;
  if (audio->EnumerateInputDevices(&inputs) == 0) audio->m_inputCount = inputs;
  audio->m_outputCount = audio->EnumerateOutputDevices();

  MeasurementRequest request;
  request.fmin = fmin;
  request.fmax = fmax;
  request.gainDb = gainDb;
  request.timeoutMs = kMeasureTimeoutMs;
  request.inputIndex = 0;
  if (options.Has("input")) {
    request.inputIndex =
        FindDevice(audio->m_inputNames, audio->m_inputCount, options.Value("input"));
    if (request.inputIndex < 0) {
      messages.ShowMessage(kMsgInvalidInput);
      return kExitFailure;
    }
  }
  request.outputIndex = audio->m_outputCount - 1;  // the default output
  if (options.Has("output")) {
    request.outputIndex =
        FindDevice(audio->m_outputNames, audio->m_outputCount, options.Value("output"));
    if (request.outputIndex < 0) {
      messages.ShowMessage(std::string(kMsgCannotOpenOutput) +
                           OutputOpenErrorText(kMmErrBadDeviceId));
      return kExitFailure;
    }
  }
  if (audio->m_inputCount > 0 && request.inputIndex < audio->m_inputCount) {
    std::fprintf(stderr, "Input: %s\nOutput: %s\n", audio->m_inputNames[request.inputIndex],
                 audio->m_outputNames[request.outputIndex]);
  }

  // The progress line: points of 1001 and the frequency of the last one.
  int shown = -1;
  bool synced = false;
  auto progress = [&]() {
    const int points = graph->m_count.load();
    const bool nowSynced = audio->m_synced.load() != 0;
    if (points == shown && nowSynced == synced) return;
    shown = points;
    synced = nowSynced;
    if (points == 0) {
      std::fprintf(stderr, "\r%s",
                   synced ? "sync burst found, settling...        "
                          : "waiting for the sync burst...        ");
    } else {
      std::fprintf(stderr, "\r%4d of 1001 points, %9.1f Hz   ", points,
                   fmin * std::pow(fmax / fmin, (points - 1) / 1000.0));
    }
    std::fflush(stderr);
  };

  graph->ClearCurve();
  g_running.store(sequence.get());
  std::signal(SIGINT, OnInterrupt);
  SequenceStatus outcome = SequenceStatus::kFailed;
  if (sequence->Start(request)) {
    // The sequence's steps, every 10 ms, with the progress line between them.
    while (sequence->Tick() == SequenceStatus::kRunning) {
      progress();
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  }
  outcome = sequence->Finish();
  std::signal(SIGINT, SIG_DFL);
  g_running.store(nullptr);
  progress();
  std::fprintf(stderr, "\n");
  if (outcome == SequenceStatus::kStopped) {
    std::fprintf(stderr, "Measurement stopped\n");
    return kExitFailure;
  }
  if (outcome == SequenceStatus::kFailed) return kExitFailure;

  const int points = graph->m_count.load();
  double levels[CGraphical::kCurveCapacity];
  for (int k = 0; k < points; ++k) levels[k] = graph->m_points[k].load();
  if (options.Has("csv") && !WriteCurveCsv(options.Value("csv"), levels, points, fmin, fmax)) {
    std::fprintf(stderr, "Could not write the curve to %s\n", options.Value("csv").c_str());
    return kExitFailure;
  }
  for (const std::string format : {"png", "bmp"}) {
    if (!options.Has(format)) continue;
    if (!RenderCurveImage(*graph, shared, WithImageExtension(options.Value(format), format),
                          shared.m_szGraphCaption)) {
      std::fprintf(stderr, "Cannot save the file to disk...\n");
      return kExitFailure;
    }
  }
  if (options.Has("save")) {
    // What Save Audio File writes: the recording (already at the start of the record track)
    // with its tags.
    CWave wave;
    CMemoryPreferences preferences;
    const CaptureFileContext files{*audio, shared, wave, messages, preferences, nullptr};
    if (!CheckCaptureToSave(files) || !SaveCaptureFile(files, options.Value("save"))) {
      return kExitFailure;
    }
  }
  std::printf("%d of 1001 points, %.2f-%.2f Hz, recording of %d samples\n", points, fmin, fmax,
              audio->m_capturedCount.load());
  if (points > 0) {
    std::printf("first point: %.6f Hz %.4f dB\nlast point: %.6f Hz %.4f dB\n", fmin, levels[0],
                fmin * std::pow(fmax / fmin, (points - 1) / 1000.0), levels[points - 1]);
  }
  graph.reset();
  sequence.reset();
  audio.reset();  // the engine goes before the services it uses
  return kExitOk;
}

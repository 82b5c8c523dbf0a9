// quorvel-cli spl-calibrate: three seconds of a sound level calibrator on the chosen input,
// channel and gain, checked to be its steady tone, and the offset stored for that input, channel
// and gain.
#include <chrono>
#include <cmath>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "base/util.h"
#include "cli/cli_options.h"
#include "cli/cli_session.h"
#include "cli/commands.h"
#include "cli/spl_settings.h"
#include "control/run/measurement_request.h"
#include "control/run/measurement_sequence.h"
#include "control/settings/spl_calibration.h"

namespace quorvel {

namespace {

const char kSplCalibrateUsage[] =
    "quorvel-cli spl-calibrate [--input NAME] [--channel louder|left|right] [--gain DB]"
    " [--simulated] --reference DB [--frequency HZ]";

constexpr int kTickMs = 100;
// The longest wait for the recording on the wall clock: 3.5 s of it, and a device that takes
// its time to start [ms].
constexpr int kRecordTimeoutMs = 15000;

}  // namespace

int RunSplCalibrate(const Arguments& args) {
  CliOptions options({"input", "channel", "gain", "reference", "frequency"}, {"simulated"}, 0);
  std::string error;
  MeasurementRequest request;
  double referenceDb = 0.0;
  double frequencyHz = 0.0;
  if (!options.Parse(args, &error) || !options.Number("gain", 0.0, &request.gainDb, &error) ||
      !options.Number("reference", 0.0, &referenceDb, &error) ||
      !options.Number("frequency", kDefaultCalibratorHz, &frequencyHz, &error)) {
    return ArgumentError(error, kSplCalibrateUsage);
  }
  if (const Result<void> numbers = CheckRequestNumbers(request); !numbers) {
    return ArgumentError(numbers.Message(), kSplCalibrateUsage);
  }
  const std::string channel = options.Value("channel");
  if (const Result<void> read =
          ReadInputChannels(options.Has("channel") ? &channel : nullptr, nullptr, &request);
      !read) {
    return ArgumentError(read.Message(), kSplCalibrateUsage);
  }
  if (!options.Has("reference")) {
    return ArgumentError("--reference DB (the calibrator's level) is needed", kSplCalibrateUsage);
  }
  if (!(referenceDb > 0.0 && referenceDb < 200.0)) {
    return ArgumentError("--reference is a level in dB SPL, above 0 and below 200",
                         kSplCalibrateUsage);
  }
  if (!(frequencyHz >= 20.0 && frequencyHz <= 20000.0)) {
    return ArgumentError("--frequency is the calibrator's tone, 20 to 20000 Hz",
                         kSplCalibrateUsage);
  }

  CCliSession session(options.Has("simulated") ? AudioChoice::kSimulated : AudioChoice::kDefault);
  CQuorvelCore& core = session.Core();
  std::fprintf(stderr, "Audio services: %s\n", core.ServicesDescription().c_str());
  const std::vector<std::string> inputs = core.InputNames();
  const std::string inputName = options.Value("input");
  if (const Result<void> built =
          BuildMeasurementRequest(inputs, core.OutputNames(),
                                  options.Has("input") ? &inputName : nullptr, nullptr, &request);
      !built) {
    session.Messages().ShowMessage(built.Message());
    return kExitFailure;
  }
  if (request.inputIndex >= static_cast<int>(inputs.size())) {
    session.Messages().ShowMessage(kMsgInvalidInput);
    return kExitFailure;
  }
  const SplInput input{inputs[static_cast<size_t>(request.inputIndex)],
                       InputChannelName(request.channel), request.gainDb};
  std::fprintf(stderr, "Input: %s\n", input.device.c_str());

  CSplRecorder recorder(core.Audio(), core.Sequence());
  if (!recorder.Start(request.inputIndex, request.gainDb, request.channel)) return kExitFailure;
  int waitedMs = 0;
  while (!recorder.Done() && waitedMs < kRecordTimeoutMs) {
    std::this_thread::sleep_for(std::chrono::milliseconds(kTickMs));
    waitedMs += kTickMs;
  }
  const std::vector<int16_t> samples = recorder.Finish();
  if (samples.size() < static_cast<size_t>(kSplRecordSeconds * CAudio::kSampleRate)) {
    session.Messages().ShowMessage(CUtil::FormatString(kMsgInputSilent, input.device.c_str()));
    return kExitFailure;
  }
  const SplCalibration calibration = JudgeCalibration(samples, referenceDb, frequencyHz);
  if (!calibration.accepted) {
    session.Messages().ShowMessage(calibration.message);
    return kExitFailure;
  }
  CStoredSplCalibrations store;
  if (const Result<void> stored = StoreSplOffset(store, input, calibration.offsetDb); !stored) {
    std::fprintf(stderr, "Could not store the SPL calibration\n%s\n", stored.Message().c_str());
    return kExitFailure;
  }
  std::printf("%s\nstored for the input \"%s\", channel %s, gain %.1f dB, in %s\n",
              calibration.message.c_str(), input.device.c_str(), input.channel.c_str(),
              input.gainDb, CStoredSplCalibrations::Path().c_str());
  return kExitOk;
}

}  // namespace quorvel

// quorvel-cli devices: the input and output lists as the main window would show them.
#include <cstdio>
#include <string>
#include <vector>

#include "cli/cli_options.h"
#include "cli/cli_session.h"
#include "cli/commands.h"
#include "control/run/measurement_request.h"

namespace quorvel {

namespace {

const char kDevicesUsage[] = "quorvel-cli devices [--simulated]";

// "  (runs at 44100 Hz, resampled)" for a device that does not run at 48000 Hz; empty for one
// that does, or whose rate is not known.
std::string RateSuffix(uint32_t rate) {
  if (rate == 0 || rate == static_cast<uint32_t>(CAudio::kSampleRate)) return std::string();
  return "  (runs at " + std::to_string(rate) + " Hz, resampled)";
}

}  // namespace

int RunDevices(const Arguments& args) {
  CliOptions options({}, {"simulated"}, 0);
  std::string error;
  if (!options.Parse(args, &error)) return ArgumentError(error, kDevicesUsage);

  CCliSession session(options.Has("simulated") ? AudioChoice::kSimulated : AudioChoice::kDefault);
  CQuorvelCore& core = session.Core();
  CAudio& audio = core.Audio();
  std::printf("Audio services: %s\n", core.ServicesDescription().c_str());

  IAudioServices* services = audio.Services();
  std::printf("Audio Input (Microphone):\n");
  if (core.InputListResult() != kResultOk) {
    // The error text ends with a line break of its own.
    std::string text = audio.GetErrorText(core.InputListResult());
    while (!text.empty() && text.back() == '\n') text.pop_back();
    // The engine's own refusal of the listing means that it found no input.
    if (core.InputListResult() == kE_UNEXPECTED) text += ", no input device was found";
    std::printf("  (none: %s)\n", text.c_str());
  } else {
    const std::vector<std::string> inputs = core.InputNames();
    for (int i = 0; i < static_cast<int>(inputs.size()); ++i) {
      std::printf("  %2d  %s%s\n", i, inputs[static_cast<size_t>(i)].c_str(),
                  RateSuffix(services != nullptr ? services->CaptureEndpointRate(i) : 0).c_str());
    }
  }

  std::printf("Audio Output (Sweep Generator):\n");
  const std::vector<std::string> outputs = core.OutputNames();
  for (int i = 0; i < static_cast<int>(outputs.size()); ++i) {
    // The last entry is the default output, opened as device -1.
    const int id = OutputDeviceId(i, static_cast<int>(outputs.size()));
    std::printf("  %2d  %s%s\n", id, outputs[static_cast<size_t>(i)].c_str(),
                RateSuffix(services != nullptr ? services->OutputDeviceRate(id) : 0).c_str());
  }
  return kExitOk;
}

}  // namespace quorvel

// quorvel-cli devices: the input and output lists as the main window would show them.
#include <cstdio>
#include <string>

#include "cli/cli_options.h"
#include "cli/cli_session.h"
#include "cli/commands.h"

namespace quorvel {

namespace {

const char kDevicesUsage[] = "quorvel-cli devices [--simulated]";

}  // namespace

int RunDevices(const Arguments& args) {
  CliOptions options({}, {"simulated"}, 0);
  std::string error;
  if (!options.Parse(args, &error)) return ArgumentError(error, kDevicesUsage);

  CCliSession session(options.Has("simulated") ? AudioChoice::kSimulated : AudioChoice::kDefault);
  CQuorvelCore& core = session.Core();
  CAudio& audio = core.Audio();
  std::printf("Audio services: %s\n", core.ServicesDescription().c_str());

  std::printf("Audio Input (Microphone):\n");
  if (core.InputListResult() != kResultOk) {
    // The error text ends with a line break of its own.
    std::string text = audio.GetErrorText(core.InputListResult());
    while (!text.empty() && text.back() == '\n') text.pop_back();
    std::printf("  (none: %s)\n", text.c_str());
  } else {
    for (int i = 0; i < audio.m_inputCount; ++i) {
      std::printf("  %2d  %s\n", i, audio.m_inputNames[i]);
    }
  }

  std::printf("Audio Output (Sweep Generator):\n");
  const int outputs = audio.m_outputCount;
  for (int i = 0; i < outputs; ++i) {
    // The last entry is the default output, opened as device -1.
    std::printf("  %2d  %s\n", i == outputs - 1 ? -1 : i, audio.m_outputNames[i]);
  }
  return kExitOk;
}

}  // namespace quorvel

// quorvel-cli devices: the input and output lists as the main window would show them.
#include <cstdio>
#include <memory>
#include <string>

#include "audio/backend/audio_backend.h"
#include "cli/cli_options.h"
#include "cli/commands.h"
#include "engine/audio_engine.h"

namespace {

const char kDevicesUsage[] = "quorvel-cli devices [--simulated]";

}  // namespace

int RunDevices(const Arguments& args) {
  CliOptions options({}, {"simulated"}, 0);
  std::string error;
  if (!options.Parse(args, &error)) return ArgumentError(error, kDevicesUsage);

  std::string description;
  const std::unique_ptr<IAudioServices> services =
      CreateAudioServices(options.Has("simulated"), &description);
  auto audio = std::make_unique<CAudio>(services.get());
  std::printf("Audio services: %s\n", description.c_str());

  std::printf("Audio Input (Microphone):\n");
  int inputs = 0;
  const int32_t listed = audio->EnumerateInputDevices(&inputs);
  if (listed != 0) {
    // The error text ends with a line break of its own.
    std::string text = audio->GetErrorText(listed);
    while (!text.empty() && text.back() == '\n') text.pop_back();
    std::printf("  (none: %s)\n", text.c_str());
  } else {
    for (int i = 0; i < inputs; ++i) std::printf("  %2d  %s\n", i, audio->m_inputNames[i]);
  }

  std::printf("Audio Output (Sweep Generator):\n");
  const int outputs = audio->EnumerateOutputDevices();
  for (int i = 0; i < outputs; ++i) {
    // The last entry is the default output, opened as device -1.
    std::printf("  %2d  %s\n", i == outputs - 1 ? -1 : i, audio->m_outputNames[i]);
  }
  audio.reset();  // the engine goes before the services it uses
  return kExitOk;
}

#include "cli/capture_channel.h"

#include <string>

#include "cli/cli_options.h"
#include "cli/commands.h"

namespace quorvel {

int ReadCaptureChannel(const CliOptions& options, const char* usage,
                       CaptureResponseRequest* request) {
  if (!options.Has("channel")) return kExitOk;
  const std::string channel = options.Value("channel");
  if (channel != "left" && channel != "right") {
    return ArgumentError(
        "--channel is the capture's measurement: left (channel 1) or right (channel 2)", usage);
  }
  request->measuredOnChannel2 = channel == "right";
  return kExitOk;
}

}  // namespace quorvel

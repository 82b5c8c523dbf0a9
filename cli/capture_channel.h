#pragma once

#include "control/response/capture_response.h"

namespace quorvel {

class CliOptions;

// --channel left|right of a command over a capture file: which channel of a two-channel capture
// is the measurement, the other then its timing reference (default left: channel 1, as Quorvel
// writes them). kExitOk, or kExitBadArguments after the message.
[[nodiscard]] int ReadCaptureChannel(const CliOptions& options, const char* usage,
                                     CaptureResponseRequest* request);

}  // namespace quorvel

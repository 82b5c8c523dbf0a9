#pragma once

#include <memory>
#include <string>

#include "audio/audio_services.h"
#include "base/result.h"

namespace quorvel {

// The audio services on a PulseAudio server (PulseAudio itself or PipeWire's PulseAudio
// server), found the usual way (PULSE_SERVER, then the user's runtime folder; never
// autospawned); the reason when no server answers within about one second. Called on the
// user-interface thread.
[[nodiscard]] Result<std::unique_ptr<IAudioServices>> CreatePulseAudioServices();

}  // namespace quorvel

#pragma once

#include <memory>
#include <string>

#include "audio/audio_services.h"

namespace quorvel {

// The audio services on a PulseAudio server (PulseAudio itself or PipeWire's PulseAudio
// server), found the usual way (PULSE_SERVER, then the user's runtime folder; never
// autospawned). Returns null, with the reason in `whyNot`, when no server answers within about
// one second. Called on the user-interface thread.
std::unique_ptr<IAudioServices> CreatePulseAudioServices(std::string* whyNot);

}  // namespace quorvel

#pragma once

#include <memory>
#include <string>

#include "audio/audio_services.h"

namespace quorvel {

struct SimulatedAudioOptions;

// The audio services the program runs on: the PulseAudio server when one answers (and
// `simulated` is false), otherwise the built-in simulated loudspeaker. `description` (may be
// null) receives a line saying which was chosen and why, e.g.
// "simulated loudspeaker (no PulseAudio server: ...)". The simulated devices run at real time,
// or QUORVEL_SIM_CLOCK_FACTOR times faster when that is set (tests), and the microphone hears
// the loudspeaker QUORVEL_SIM_ANGLE degrees off its axis when that is set (a number; 0 when it
// is not one). User-interface thread.
std::unique_ptr<IAudioServices> CreateAudioServices(bool simulated, std::string* description);

// Turns the simulated loudspeaker to angleDeg off axis (as QUORVEL_SIM_ANGLE does at the start)
// from its next device tick on; false, and nothing done, when `services` are not the simulated
// ones. Any thread.
bool SetSimulatedLoudspeakerAngle(IAudioServices& services, double angleDeg);

// Makes the simulated input's channel `channel` (1 left, 2 right; 0 none) a loopback of the
// output with a device latency drawn at each capture start (CSimulatedAudioServices); false,
// and nothing done, when `services` are not the simulated ones. Before a capture starts.
bool SetSimulatedLoopback(IAudioServices& services, int channel);

// The simulated loudspeaker with the given options (tests, benchmarks).
std::unique_ptr<IAudioServices> CreateSimulatedAudioServices(const SimulatedAudioOptions& options);

}  // namespace quorvel

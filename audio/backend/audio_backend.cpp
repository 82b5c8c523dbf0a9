#include "audio/backend/audio_backend.h"

#include <cstdlib>

#include "audio/sim/simulated_services.h"

#ifdef QUORVEL_HAVE_PULSE
#include "audio/pulse/pulse_services.h"
#endif

namespace quorvel {

std::unique_ptr<IAudioServices> CreateSimulatedAudioServices(const SimulatedAudioOptions& options) {
  return std::make_unique<CSimulatedAudioServices>(options);
}

std::unique_ptr<IAudioServices> CreateAudioServices(bool simulated, std::string* description) {
  std::string why = "asked for";
  if (!simulated) {
#ifdef QUORVEL_HAVE_PULSE
    std::string whyNot;
    std::unique_ptr<IAudioServices> pulse = CreatePulseAudioServices(&whyNot);
    if (pulse != nullptr) {
      if (description != nullptr) *description = "PulseAudio server";
      return pulse;
    }
    why = "no PulseAudio server: " + whyNot;
#else
    why = "built without PulseAudio";
#endif
  }
  SimulatedAudioOptions options;
  // Tests run the simulated devices faster than real time.
  const char* factor = std::getenv("QUORVEL_SIM_CLOCK_FACTOR");
  if (factor != nullptr && std::atof(factor) >= 1.0) options.clockFactor = std::atof(factor);
  if (description != nullptr) *description = "simulated loudspeaker (" + why + ")";
  return CreateSimulatedAudioServices(options);
}

}  // namespace quorvel

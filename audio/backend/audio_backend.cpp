#include "audio/backend/audio_backend.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "audio/sim/simulated_services.h"

#ifdef QUORVEL_HAVE_PULSE
#include "audio/pulse/pulse_services.h"
#endif

namespace quorvel {

namespace {

// QUORVEL_SIM_ANGLE in degrees, read with a decimal point whatever the locale; 0 when it is not
// set or not a finite number.
double AngleFromEnvironment() {
  const char* text = std::getenv("QUORVEL_SIM_ANGLE");
  if (text == nullptr) return 0.0;
  const char* end = text + std::strlen(text);
  if (*text == '+') ++text;
  double angle = 0.0;
  const auto [at, error] = std::from_chars(text, end, angle);
  return error == std::errc() && at == end && std::isfinite(angle) ? angle : 0.0;
}

}  // namespace

bool SetSimulatedLoudspeakerAngle(IAudioServices& services, double angleDeg) {
  auto* simulated = dynamic_cast<CSimulatedAudioServices*>(&services);
  if (simulated == nullptr) return false;
  simulated->SetLoudspeakerAngle(angleDeg);
  return true;
}

bool SetSimulatedLoopback(IAudioServices& services, int channel) {
  auto* simulated = dynamic_cast<CSimulatedAudioServices*>(&services);
  if (simulated == nullptr) return false;
  simulated->SetLoopbackChannel(channel);
  return true;
}

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
  options.angleDeg = AngleFromEnvironment();
  if (description != nullptr) *description = "simulated loudspeaker (" + why + ")";
  return CreateSimulatedAudioServices(options);
}

}  // namespace quorvel

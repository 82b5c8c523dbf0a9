#include "audio/backend/audio_backend.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "audio/sim/simulated_services.h"

#ifdef QUORVEL_HAVE_PULSE
#include "audio/pulse/pulse_services.h"
#endif

namespace quorvel {

namespace {

// A number from the environment (QUORVEL_SIM_ANGLE in degrees, QUORVEL_SIM_CALIBRATOR in dB
// SPL), read with a decimal point whatever the locale; fallback when it is not set or not a
// finite number.
double NumberFromEnvironment(const char* name, double fallback) {
  const char* text = std::getenv(name);
  if (text == nullptr) return fallback;
  const char* end = text + std::strlen(text);
  if (*text == '+') ++text;
  double angle = 0.0;
  const auto [at, error] = std::from_chars(text, end, angle);
  return error == std::errc() && at == end && std::isfinite(angle) ? angle : fallback;
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
    Result<std::unique_ptr<IAudioServices>> pulse = CreatePulseAudioServices();
    if (pulse) {
      if (description != nullptr) *description = "PulseAudio server";
      return std::move(*pulse);
    }
    why = "no PulseAudio server: " + pulse.Message();
#else
    why = "built without PulseAudio";
#endif
  }
  SimulatedAudioOptions options;
  // Tests run the simulated devices faster than real time.
  const char* factor = std::getenv("QUORVEL_SIM_CLOCK_FACTOR");
  if (factor != nullptr && std::atof(factor) >= 1.0) options.clockFactor = std::atof(factor);
  options.angleDeg = NumberFromEnvironment("QUORVEL_SIM_ANGLE", 0.0);
  options.calibratorDb =
      NumberFromEnvironment("QUORVEL_SIM_CALIBRATOR", std::numeric_limits<double>::quiet_NaN());
  if (description != nullptr) *description = "simulated loudspeaker (" + why + ")";
  return CreateSimulatedAudioServices(options);
}

}  // namespace quorvel

// The main window's slider positions.
#include "control/window/slider_positions.h"

#include <cmath>

namespace quorvel {

int SliderPositionFromPreference(int stored) {
  if (stored < 0) return 0;
  return stored > kSliderMax ? kSliderMax : stored;
}

double GainDbOfPosition(int position) {
  return position - 12;
}

int VolumePositionOfScalar(float volume) {
  return static_cast<int>(volume * 24.0f + 0.5f);
}

int SoftwareVolumeScale(int position) {
  const float levelDb = static_cast<float>(2 * position - 48);
  const float factor = std::pow(10.0f, levelDb / 20.0f);
  return static_cast<int>(factor * 65535.0f);
}

}  // namespace quorvel

// The main window's device choice and slider positions.
#include "control/device_choice.h"

#include <cmath>

#include "base/util.h"

namespace quorvel {

InputChoice ChooseInputDevice(const std::vector<std::string>& names, const std::string& wanted) {
  InputChoice choice;
  for (size_t i = 0; i < names.size(); ++i) {
    if (CUtil::CompareNoCaseN(names[i].c_str(), wanted.c_str(), 520) == 0) {
      choice.index = static_cast<int>(i);
      choice.name = wanted;
      return choice;
    }
  }
  for (size_t i = 0; i < names.size(); ++i) {
    if (CUtil::FindNoCase(names[i].c_str(), wanted.c_str()) >= 0) {
      choice.index = static_cast<int>(i);
      choice.name = names[i];
      return choice;
    }
  }
  if (!names.empty()) choice.name = names[0];
  return choice;
}

int ChooseOutputDevice(const std::vector<std::string>& names, const std::string& wanted) {
  int chosen = -1;
  for (size_t i = 0; i < names.size(); ++i) {
    if (CUtil::CompareNoCaseN(names[i].c_str(), wanted.c_str(), 520) == 0) {
      chosen = static_cast<int>(i);  // the last match wins
    }
  }
  return chosen < 0 ? 0 : chosen;
}

int GainPositionFromPreference(int stored) {
  if (stored < 0) return 0;
  return stored > kSliderMax ? kSliderMax : stored;
}

int VolumePositionFromPreference(int stored) {
  if (stored < 0) return 0;
  return stored > kSliderMax ? kSliderMax : stored;
}

double GainFactor(int position) {
  return std::pow(10.0, (position - 12) / 20.0);
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

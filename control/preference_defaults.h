#pragma once

#include "engine/device_enumeration.h"

// The defaults of the preferences that depend on the layers above the store (base/preferences.h
// holds the names and every other default).

namespace quorvel {

// "AudioOutPeripheral": the output mapper entry, the last entry of the output list.
inline constexpr const char* kDefaultAudioOutPeripheral = kOutputMapperName;

}  // namespace quorvel

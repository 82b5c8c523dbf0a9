#pragma once

#include <string>
#include <vector>

namespace quorvel {

// How the main window picks its devices from the lists at start-up, and the slider positions
// it takes from the preferences. Plain rules, user-interface thread.

// The input whose name equals `wanted` ignoring case (at most 520 characters compared); failing
// that, the first whose name contains `wanted` ignoring case; failing that, the first entry.
// `name` is the chosen entry's full name (empty for an empty list).
struct InputChoice {
  int index = 0;
  std::string name;
};
[[nodiscard]] InputChoice ChooseInputDevice(const std::vector<std::string>& names,
                                            const std::string& wanted);

// The output whose name equals `wanted` ignoring case; of several, the last; 0 when none does.
[[nodiscard]] int ChooseOutputDevice(const std::vector<std::string>& names,
                                     const std::string& wanted);

// The gain and volume sliders run from position 0 to 24.
inline constexpr int kSliderMax = 24;
// A stored gain position, clamped to the slider's range: an unchecked 1000 would make the
// capture gain 10^49.4.
[[nodiscard]] int GainPositionFromPreference(int stored);
// A stored volume position, at most 24 (and not below 0).
[[nodiscard]] int VolumePositionFromPreference(int stored);
// The capture gain of a slider position: -12 dB at 0, 1.0 at 12, +12 dB at 24, in 1 dB steps.
[[nodiscard]] double GainFactor(int position);
// The volume slider's position for an endpoint volume scalar 0..1: (v x 24 + 0.5) truncated.
[[nodiscard]] int VolumePositionOfScalar(float volume);
// The output sample scale of full volume: the samples go out unchanged.
inline constexpr int kFullPlayVolume = 65535;
// The output sample scale when the endpoint volume cannot be set: 2 x position - 48 dB (-48 dB
// at 0 to 0 dB at 24 in 2 dB steps) of the full scale 65535, truncated toward zero.
[[nodiscard]] int SoftwareVolumeScale(int position);

}  // namespace quorvel

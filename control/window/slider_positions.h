#pragma once

namespace quorvel {

// The gain and volume sliders of the main window: the positions they take from the
// preferences, the gain a position stands for and the output level of a volume position.
// Plain rules, user-interface thread.

// Both sliders run from position 0 to 24.
inline constexpr int kSliderMax = 24;
// A stored slider position, clamped to the slider's range: an unchecked gain of 1000 would make
// the capture gain 10^49.4.
[[nodiscard]] int SliderPositionFromPreference(int stored);
// The gain of a gain slider position: -12 dB at 0, 0 dB at 12, +12 dB at 24, in 1 dB steps.
[[nodiscard]] double GainDbOfPosition(int position);
// The volume slider's position for an endpoint volume scalar 0..1: (v x 24 + 0.5) truncated.
[[nodiscard]] int VolumePositionOfScalar(float volume);
// The output sample scale of full volume: the samples go out unchanged.
inline constexpr int kFullPlayVolume = 65535;
// The output sample scale when the endpoint volume cannot be set: 2 x position - 48 dB (-48 dB
// at 0 to 0 dB at 24 in 2 dB steps) of the full scale 65535, truncated toward zero.
[[nodiscard]] int SoftwareVolumeScale(int position);

}  // namespace quorvel

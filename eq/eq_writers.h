#pragma once

#include <string>

#include "eq/eq_fit.h"

namespace quorvel {

// One filter set written for the equalisers Linux users have, each text loadable as it
// stands; the caller writes it through the atomic file writer. Every number is written with a
// decimal point whatever the locale: frequencies to 0.1 Hz, gains to 0.1 dB, peaking Q to
// 0.001, the shelves' Q as 0.7071. `name` is the user's name for the equaliser (a speaker, a
// room); it may hold any text and is quoted or cleaned where a format needs it.

// A PipeWire drop-in for ~/.config/pipewire/pipewire.conf.d/: one context.modules entry of
// libpipewire-module-filter-chain, a stereo sink "Quorvel EQ (NAME)" whose graph is the
// builtin bq_highshelf at 0 Hz for the preamp (a plain gain on PipeWire 0.3.65, where a low
// shelf at 0 Hz does nothing) followed by bq_lowshelf / bq_peaking / bq_highshelf nodes; the
// module runs that graph once per channel.
[[nodiscard]] std::string PipeWireDropIn(const EqFilterSet& set, const std::string& name);

// The sink's node name in that drop-in: "quorvel_eq." and the name in lower-case letters,
// digits and underscores ("Living room" -> "quorvel_eq.living_room").
[[nodiscard]] std::string PipeWireSinkName(const std::string& name);

// The sink's description as the desktop lists it: "Quorvel EQ (NAME)".
[[nodiscard]] std::string PipeWireSinkDescription(const std::string& name);

// An EasyEffects 7 output preset: plugins_order ["equalizer#0"], an empty blocklist and
// output.equalizer#0 in IIR mode, the preamp as its input gain, left and right channels alike
// (split-channels off), one band per filter in mode "APO (DR)" (the cookbook biquads) as
// "Bell", "Lo-shelf" or "Hi-shelf".
[[nodiscard]] std::string EasyEffectsPreset(const EqFilterSet& set);

// The filters and pipeline of a CamillaDSP 3 configuration, to merge with the user's own
// devices section (none is written): a Gain filter for the preamp and one Biquad filter per
// filter (Peaking / Lowshelf / Highshelf with freq, gain and q), and a pipeline that is a list
// with one Filter step over "channels: [0, 1]", the form CamillaDSP 3 documents (2.x named one
// "channel" per step instead; each refuses the other's key).
[[nodiscard]] std::string CamillaDspFilters(const EqFilterSet& set, const std::string& name);

// Equalizer APO's (and AutoEQ's) parametric text: "Preamp: -4.2 dB", then
// "Filter 1: ON PK Fc 120.0 Hz Gain -5.3 dB Q 2.100" per filter, LSC and HSC for the shelves.
[[nodiscard]] std::string ApoText(const EqFilterSet& set);

}  // namespace quorvel

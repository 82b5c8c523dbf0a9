#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "engine/point_timing.h"

namespace quorvel {

// The playback signal of a measurement, as free functions: the engine plays what they write,
// and the impulse-response analysis regenerates it bit for bit without an engine.
//
// The signal: half a second of silence, the three-tone sync burst (kSyncBurstLength samples),
// half a second of silence, one period of fmin, the 20-second logarithmic sweep and a short
// steady tail; 16-bit mono at 48000 Hz. Any thread; no state is kept between calls but the sine
// table, made once on first use.

inline constexpr int kSyncBurstLength = 24000;   // [samples]
inline constexpr int kSineTableEntries = 12001;  // one cycle of 12000 entries and its closing one

// The oscillators' table: entry i holds sin(2 pi i / 12000).
[[nodiscard]] std::span<const double, kSineTableEntries> SineTable();

// Writes the sync burst: the sum of the three tones 1567.98 Hz, 2637.02 Hz and 4186.01 Hz over 3.
void GenerateSyncBurst(std::span<int16_t, kSyncBurstLength> burst);

// Writes the playback signal for fmin..fmax [Hz] into signal (every entry: zero after the
// signal's end) and returns its length [samples]; 0 for a refused range (fmin <= 0, fmin >= fmax,
// not a number, an infinite limit), which leaves the signal silent.
[[nodiscard]] int GenerateSweep(double fmin, double fmax,
                                std::span<int16_t, kSignalCapacity> signal);

// The same signal in a buffer of its own length (empty for a refused range).
[[nodiscard]] std::vector<int16_t> GenerateSweep(double fmin, double fmax);

}  // namespace quorvel

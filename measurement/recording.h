#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace quorvel {

// The samples a measurement recorded: 16-bit at 48000 Hz, one channel (the microphone), or two
// interleaved with the microphone as channel 0 and a timing reference as channel 1. Made once,
// when a measurement ends or a capture file is read, and never changed: a Measurement shares it.
struct Recording {
  static constexpr int kRate = 48000;  // [Hz]

  int rate = kRate;
  int channels = 1;              // 1 or 2
  std::vector<int16_t> samples;  // frames x channels, interleaved

  [[nodiscard]] std::size_t Frames() const {
    return channels > 0 ? samples.size() / static_cast<std::size_t>(channels) : 0;
  }
  // The samples of one channel (0: the microphone), as a single-channel recording holds them.
  [[nodiscard]] std::vector<int16_t> Channel(int channel) const;
};

}  // namespace quorvel

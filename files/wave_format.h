#pragma once

#include <cstddef>
#include <cstdint>

namespace quorvel {

// The fields of a WAV file's format chunk that say how its samples are laid out.
struct WaveFormat {
  static constexpr uint16_t kPcm = 1;
  static constexpr uint16_t kExtensible = 0xFFFE;  // WAVE_FORMAT_EXTENSIBLE

  uint16_t formatTag = 0;
  uint16_t channels = 0;
  uint32_t sampleRate = 0;     // [Hz]
  uint32_t byteRate = 0;       // [bytes per second]
  uint16_t blockAlign = 0;     // [bytes per frame]
  uint16_t bitsPerSample = 0;  // the container of each sample
  // WAVE_FORMAT_EXTENSIBLE only; 0 and false for other formats:
  uint16_t validBits = 0;     // the bits of each sample that carry the signal
  bool pcmSubFormat = false;  // the sub-format is integer PCM (KSDATAFORMAT_SUBTYPE_PCM)
};

// The bytes of a format chunk that ParseWaveFormat looks at: the 16 basic ones and the 24 of
// the WAVE_FORMAT_EXTENSIBLE extension.
inline constexpr size_t kWaveFormatBytes = 40;

// Reads the first count bytes of a format chunk's content. False when they do not hold the 16
// basic bytes.
[[nodiscard]] bool ParseWaveFormat(const uint8_t* content, size_t count, WaveFormat* format);

// Integer PCM samples: format tag 1, or WAVE_FORMAT_EXTENSIBLE with the PCM sub-format.
[[nodiscard]] bool IsPcmFormat(const WaveFormat& format);

// The layouts of recordings Quorvel replays; a file of any other layout is refused.
enum class CaptureLayout {
  kUnsupported,
  kMono16,  // 16-bit PCM (16 valid bits), 1 channel, 48000 Hz
  // the same with 2 channels: the measurement, then the timing reference (a loopback of the
  // output)
  kStereo16,
};

// The layout of a format, checked whole: the block align and the byte rate must be those the
// channels, bits and rate make, since a header that contradicts itself describes some other
// data.
[[nodiscard]] CaptureLayout CaptureLayoutOf(const WaveFormat& format);

}  // namespace quorvel

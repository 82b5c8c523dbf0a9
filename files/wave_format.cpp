#include "files/wave_format.h"

#include <cstring>

#include "files/wave_bytes.h"

namespace quorvel {

namespace {

// KSDATAFORMAT_SUBTYPE_PCM, {00000001-0000-0010-8000-00AA00389B71}, as the file holds it.
constexpr uint8_t kPcmSubFormat[16] = {0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00,
                                       0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
constexpr uint16_t kExtensionBytes = 22;  // valid bits, channel mask, sub-format
constexpr uint32_t kCaptureRate = 48000;  // [Hz]

}  // namespace

bool ParseWaveFormat(const uint8_t* content, size_t count, WaveFormat* format) {
  *format = {};
  if (count < 16) return false;
  format->formatTag = wavebytes::GetLe16(content);
  format->channels = wavebytes::GetLe16(content + 2);
  format->sampleRate = wavebytes::GetLe32(content + 4);
  format->byteRate = wavebytes::GetLe32(content + 8);
  format->blockAlign = wavebytes::GetLe16(content + 12);
  format->bitsPerSample = wavebytes::GetLe16(content + 14);
  if (format->formatTag == WaveFormat::kExtensible && count >= kWaveFormatBytes &&
      wavebytes::GetLe16(content + 16) >= kExtensionBytes) {
    format->validBits = wavebytes::GetLe16(content + 18);
    format->pcmSubFormat = std::memcmp(content + 24, kPcmSubFormat, sizeof kPcmSubFormat) == 0;
  }
  return true;
}

bool IsPcmFormat(const WaveFormat& format) {
  return format.formatTag == WaveFormat::kPcm ||
         (format.formatTag == WaveFormat::kExtensible && format.pcmSubFormat);
}

CaptureLayout CaptureLayoutOf(const WaveFormat& format) {
  if (!IsPcmFormat(format) || format.bitsPerSample != 16) return CaptureLayout::kUnsupported;
  if (format.formatTag == WaveFormat::kExtensible && format.validBits != 16) {
    return CaptureLayout::kUnsupported;
  }
  const uint32_t frameBytes = 2u * format.channels;
  if (format.blockAlign != frameBytes ||
      format.byteRate != static_cast<uint64_t>(format.sampleRate) * frameBytes) {
    return CaptureLayout::kUnsupported;
  }
  if (format.sampleRate != kCaptureRate) return CaptureLayout::kUnsupported;
  if (format.channels == 1) return CaptureLayout::kMono16;
  return format.channels == 2 ? CaptureLayout::kStereo16 : CaptureLayout::kUnsupported;
}

}  // namespace quorvel

// The format rule on format chunks as other programs and hostile headers write them.
#include "files/wave_format.h"

#include <gtest/gtest.h>

#include "tests/files/wave_builder.h"

namespace quorvel {
namespace {

using wavetest::Bytes, wavetest::Le16, wavetest::Le32, wavetest::operator+;

// The 16 basic bytes of mono; with validBits, the extensible extension whose sub-format GUID
// starts with subType (1 PCM, 3 float).
Bytes Format(uint16_t tag, uint32_t rate, uint32_t byteRate, uint16_t align, uint16_t bits,
             uint16_t validBits = 0, uint8_t subType = 1) {
  const Bytes basic = Le16(tag) + Le16(1) + Le32(rate) + Le32(byteRate) + Le16(align) + Le16(bits);
  const Bytes guid = {subType, 0, 0, 0, 0, 0, 0x10, 0, 0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71};
  return validBits == 0 ? basic : basic + Le16(22) + Le16(validBits) + Le32(4) + guid;
}

TEST(WaveFormat, OnlySixteenBitPcmMonoAt48kHzIsACaptureLayout) {
  constexpr auto kNone = CaptureLayout::kUnsupported;
  constexpr auto kMono = CaptureLayout::kMono16;
  const Bytes basic = Format(1, 48000, 96000, 2, 16);  // as Quorvel writes it
  const struct {
    const char* what;
    Bytes format;
    bool pcm;  // integer PCM samples, which the sample reader reads
    CaptureLayout layout;
  } cases[] = {
      {"as Quorvel writes it", basic, true, kMono},
      {"extensible PCM", Format(0xFFFE, 48000, 96000, 2, 16, 16), true, kMono},
      {"12 valid bits", Format(0xFFFE, 48000, 96000, 2, 16, 12), true, kNone},
      {"extensible float", Format(0xFFFE, 48000, 192000, 4, 32, 32, 3), false, kNone},
      {"no extension", Format(0xFFFE, 48000, 96000, 2, 16), false, kNone},
      {"8 bits over 16-bit data", Format(1, 48000, 48000, 1, 8), true, kNone},
      {"24 bits over 16-bit data", Format(1, 48000, 144000, 3, 24), true, kNone},
      {"block align 0", Format(1, 48000, 96000, 0, 16), true, kNone},
      {"byte rate wrong", Format(1, 48000, 88200, 2, 16), true, kNone},
      {"format of 14 bytes", Bytes(basic.begin(), basic.begin() + 14), false, kNone},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    WaveFormat format;
    EXPECT_EQ(ParseWaveFormat(c.format.data(), c.format.size(), &format), c.format.size() >= 16);
    EXPECT_EQ(IsPcmFormat(format), c.pcm);
    EXPECT_EQ(CaptureLayoutOf(format), c.layout);
  }
}

}  // namespace
}  // namespace quorvel

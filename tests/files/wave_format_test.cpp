// The format rule on whole files, as other programs and hostile headers write them: what the
// sample reader takes for PCM, and whether it is the layout Quorvel replays.

#include "files/wave_format.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "files/capture_samples.h"
#include "tests/files/wave_builder.h"

namespace quorvel {

namespace {

using wavetest::Bytes;
using wavetest::Chunk;
using wavetest::Le16;
using wavetest::Le32;
using wavetest::operator+;

Bytes Format(uint16_t tag, uint16_t channels, uint32_t rate, uint32_t byteRate, uint16_t align,
             uint16_t bits, const Bytes& extension = {}) {
  return Le16(tag) + Le16(channels) + Le32(rate) + Le32(byteRate) + Le16(align) + Le16(bits) +
         extension;
}

TEST(WaveFormat, OnlySixteenBitPcmMonoAt48kHzIsACaptureLayout) {
  const Bytes pcm = {1, 0, 0, 0, 0, 0, 0x10, 0, 0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71};
  Bytes ieeeFloat = pcm;
  ieeeFloat[0] = 3;
  const auto extension = [](uint16_t validBits, const Bytes& subFormat) {
    return Le16(22) + Le16(validBits) + Le32(4) + subFormat;  // mono: front centre
  };
  const Bytes list = Chunk("LIST", Bytes{'I', 'N', 'F', 'O'} + Chunk("ISFT", Bytes{'x', 0}));
  const Bytes basic = Format(1, 1, 48000, 96000, 2, 16);  // as Quorvel writes it
  constexpr auto kNone = CaptureLayout::kUnsupported;
  constexpr auto kMono = CaptureLayout::kMono16;
  const struct {
    const char* what;
    Bytes before;  // chunks before the format chunk
    Bytes format;
    bool pcm;  // the sample reader reads it
    CaptureLayout layout;
  } cases[] = {
      {"as Quorvel writes it", {}, basic, true, kMono},
      {"JUNK first", Chunk("JUNK", Bytes(28, 0)), basic, true, kMono},
      {"LIST and fact first", list + Chunk("fact", Le32(1000)), basic, true, kMono},
      {"extensible PCM",
       {},
       Format(0xFFFE, 1, 48000, 96000, 2, 16, extension(16, pcm)),
       true,
       kMono},
      {"extensible, 12 valid bits",
       {},
       Format(0xFFFE, 1, 48000, 96000, 2, 16, extension(12, pcm)),
       true,
       kNone},
      {"extensible float",
       {},
       Format(0xFFFE, 1, 48000, 192000, 4, 32, extension(32, ieeeFloat)),
       false,
       kNone},
      {"extensible, no extension", {}, Format(0xFFFE, 1, 48000, 96000, 2, 16), false, kNone},
      {"float", {}, Format(3, 1, 48000, 192000, 4, 32), false, kNone},
      {"8 bits over 16-bit data", {}, Format(1, 1, 48000, 48000, 1, 8), true, kNone},
      {"24 bits over 16-bit data", {}, Format(1, 1, 48000, 144000, 3, 24), true, kNone},
      {"32 bits", {}, Format(1, 1, 48000, 192000, 4, 32), true, kNone},
      {"block align 0", {}, Format(1, 1, 48000, 96000, 0, 16), true, kNone},
      {"byte rate wrong", {}, Format(1, 1, 48000, 88200, 2, 16), true, kNone},
      {"44100 Hz", {}, Format(1, 1, 44100, 88200, 2, 16), true, kNone},
      {"stereo", {}, Format(1, 2, 48000, 192000, 4, 16), true, kNone},
      {"format of 14 bytes", {}, Bytes(basic.begin(), basic.begin() + 14), false, kNone},
  };
  const std::vector<int16_t> ramp = wavetest::Ramp(1000, 31);
  wavetest::ScratchFolder dir;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string path = dir.File("in.wav");
    wavetest::WriteBytes(path, wavetest::RiffFile(c.before + Chunk("fmt ", c.format) +
                                                  Chunk("data", wavetest::SampleBytes(ramp))));
    uint32_t count = 0;
    int32_t channels = 0;
    int32_t rate = 0;
    int16_t* samples = nullptr;
    WaveFormat format;
    const bool read = ReadCaptureSamples(std::fopen(path.c_str(), "rb"), &count, &channels,
                                         &samples, &rate, &format);
    EXPECT_EQ(read, c.pcm);
    EXPECT_EQ(CaptureLayoutOf(format), c.layout);
    if (read && c.layout == kMono) {
      ASSERT_EQ(count, ramp.size());
      EXPECT_EQ(std::memcmp(samples, ramp.data(), 2 * ramp.size()), 0);
    }
    std::free(samples);
  }
}

}  // namespace

}  // namespace quorvel

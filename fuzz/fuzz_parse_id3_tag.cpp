// libFuzzer target: the ID3v2 tag parser on arbitrary tag bytes, the limit being the input's
// length (as the "id3 " chunk size is for a file).
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

#include "files/wave_file.h"

using namespace quorvel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::unique_ptr<uint8_t[]> copy(new uint8_t[size > 0 ? size : 1]);
  if (size > 0) std::memcpy(copy.get(), data, size);
  static CWave wave;
  ClearWaveInfo(wave.m_info);
  wave.ParseId3Tag(copy.get(), size);
  const WaveInfo& info = wave.m_info;
  for (const char* slot :
       {info.title, info.subtitle, info.album, info.artist, info.band, info.performer,
        info.composer, info.comment, info.rights, info.encoder, info.genre}) {
    if (std::memchr(slot, 0, WaveInfo::kSlotBytes) == nullptr) __builtin_trap();
  }
  if (info.rating < 0 || info.year < 0 || info.track < 0) __builtin_trap();
  return 0;
}

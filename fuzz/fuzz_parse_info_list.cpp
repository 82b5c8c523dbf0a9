// libFuzzer target: the "LIST"/"INFO" parser on arbitrary subchunk bytes.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

#include "files/wave_file.h"

using namespace quorvel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // An exact-size copy, so that a read one byte past the list is caught.
  std::unique_ptr<uint8_t[]> copy(new uint8_t[size > 0 ? size : 1]);
  if (size > 0) std::memcpy(copy.get(), data, size);
  static CWave wave;
  wave.ParseInfoList(copy.get(), size);
  for (const char* slot : {wave.m_info.title, wave.m_info.artist, wave.m_info.album,
                           wave.m_info.comment, wave.m_info.genre, wave.m_info.rights}) {
    if (std::memchr(slot, 0, WaveInfo::kSlotBytes) == nullptr) __builtin_trap();
  }
  return 0;
}

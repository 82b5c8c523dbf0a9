// libFuzzer target: the capture sample reader on arbitrary file contents.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "files/capture_samples.h"

using namespace quorvel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;  // an empty memory stream cannot be opened
  std::unique_ptr<uint8_t[]> copy(new uint8_t[size]);
  std::memcpy(copy.get(), data, size);
  std::FILE* file = fmemopen(copy.get(), size, "rb");
  if (file == nullptr) return 0;
  uint32_t count = 0;
  int32_t channels = 0;
  int32_t rate = 0;
  int16_t* samples = nullptr;
  if (ReadCaptureSamples(file, &count, &channels, &samples, &rate)) {
    // Every sample reported lies inside the input; touching the last one proves the buffer
    // holds them all.
    const uint64_t values = static_cast<uint64_t>(count) * static_cast<uint64_t>(channels);
    if (channels <= 0 || values * 2 > size || samples == nullptr) __builtin_trap();
    if (values > 0) {
      volatile int16_t last = samples[values - 1];
      (void)last;
    }
  } else if (samples != nullptr || count != 0) {
    __builtin_trap();
  }
  std::free(samples);
  return 0;
}

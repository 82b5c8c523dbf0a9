// libFuzzer target: the chunk walk of CWave::ReadWave on arbitrary file contents.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "files/wave_file.h"

using namespace quorvel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // ReadWave opens a path: the input is handed over as an in-memory file.
  static const int fd = memfd_create("quorvel_fuzz_wave", 0);
  static const std::string path = "/proc/self/fd/" + std::to_string(fd);
  if (fd < 0 || ftruncate(fd, 0) != 0) return 0;
  size_t done = 0;
  while (done < size) {
    const ssize_t n = pwrite(fd, data + done, size - done, static_cast<off_t>(done));
    if (n <= 0) return 0;
    done += static_cast<size_t>(n);
  }
  static CWave wave;
  const int result = wave.ReadWave(path.c_str());
  if (result != CWave::kReadDone && result != CWave::kReadNotWave && result != CWave::kReadShort &&
      result != CWave::kReadNoMemory) {
    __builtin_trap();
  }
  if (wave.m_nTagCount < 0 || wave.m_nTagCount > 16) __builtin_trap();
  return 0;
}

#include "files/capture_samples.h"

#include <bit>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "files/bounded_reader.h"
#include "files/wave_bytes.h"

namespace quorvel {

bool ReadCaptureSamples(std::FILE* file, uint32_t* sampleCount, int32_t* channels,
                        int16_t** samples, int32_t* rate) {
  *sampleCount = 0;
  *channels = 0;
  *samples = nullptr;
  *rate = 0;
  if (file == nullptr) return false;
  CBoundedReader in(file);  // closes the file on every return

  uint8_t header[24];
  if (in.Read(header, 12) != 12 || std::memcmp(header + 8, "WAVE", 4) != 0) return false;
  const uint32_t riffSize = wavebytes::GetLe32(header + 4);

  if (in.Read(header, 24) != 24 || std::memcmp(header, "fmt ", 4) != 0 ||
      wavebytes::GetLe16(header + 8) != 1) {
    return false;
  }
  // A format chunk with an extension (size 18 and more) is passed over by its size, so the
  // chunk after it is found where it really starts.
  const uint32_t fmtSize = wavebytes::GetLe32(header + 4);
  if (fmtSize > 16 && !in.Skip(fmtSize - 16)) return false;
  const uint16_t formatChannels = wavebytes::GetLe16(header + 10);
  const uint32_t formatRate = wavebytes::GetLe32(header + 12);

  uint8_t* gathered = nullptr;  // the joined content of every "data" chunk
  uint64_t length = 0;          // [bytes] gathered so far
  bool sawData = false;
  uint8_t chunk[8];
  bool more = in.Read(chunk, 8) == 8;
  // Chunk sizes are followed exactly (no pad bytes). Other chunks are passed over by seeking;
  // a chunk that claims more than the file still holds ends the walk.
  while (more && in.Position() < riffSize) {
    const uint32_t size = wavebytes::GetLe32(chunk + 4);
    if (size > in.Left()) break;
    if (std::memcmp(chunk, "data", 4) == 0) {
      const uint64_t capacity = length + size + 16000;
      if (capacity > SIZE_MAX) break;
      auto* grown = static_cast<uint8_t*>(std::realloc(gathered, static_cast<size_t>(capacity)));
      if (grown == nullptr) {
        std::free(gathered);
        return false;
      }
      gathered = grown;
      if (in.Read(gathered + length, size) != size) break;
      length += size;
      sawData = true;
    } else if (!in.Skip(size)) {
      break;
    }
    more = in.Read(chunk, 8) == 8;
  }

  const uint64_t count = formatChannels == 0 ? 0 : length / (2u * formatChannels);
  if (!sawData || length <= 4 || formatChannels == 0 || count > UINT32_MAX) {
    std::free(gathered);
    return false;
  }
  if constexpr (std::endian::native == std::endian::big) {
    for (uint64_t i = 0; i + 1 < length; i += 2) std::swap(gathered[i], gathered[i + 1]);
  }
  *channels = formatChannels;
  *sampleCount = static_cast<uint32_t>(count);
  *rate = static_cast<int32_t>(formatRate);
  *samples = reinterpret_cast<int16_t*>(gathered);
  return true;
}

}  // namespace quorvel

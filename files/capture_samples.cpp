#include "files/capture_samples.h"

#include <bit>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "files/bounded_reader.h"
#include "files/wave_bytes.h"

namespace quorvel {

bool ReadCaptureSamples(std::FILE* file, uint32_t* sampleCount, int32_t* channels,
                        int16_t** samples, int32_t* rate, WaveFormat* format) {
  *sampleCount = 0;
  *channels = 0;
  *samples = nullptr;
  *rate = 0;
  if (format != nullptr) *format = {};
  if (file == nullptr) return false;
  CBoundedReader in(file);  // closes the file on every return

  uint8_t header[12];
  if (in.Read(header, 12) != 12 || std::memcmp(header + 8, "WAVE", 4) != 0) return false;
  const uint32_t riffSize = wavebytes::GetLe32(header + 4);

  WaveFormat found;
  bool sawFormat = false;
  uint8_t* gathered = nullptr;  // the joined content of every "data" chunk
  uint64_t length = 0;          // [bytes] gathered so far
  bool sawData = false;
  uint8_t chunk[8];
  bool more = in.Read(chunk, 8) == 8;
  // Chunks other than the format and the samples are passed over by seeking; a chunk that
  // claims more than the file still holds ends the walk.
  while (more && in.Position() < riffSize) {
    const uint32_t size = wavebytes::GetLe32(chunk + 4);
    if (size > in.Left()) break;
    if (!sawFormat && std::memcmp(chunk, "fmt ", 4) == 0) {
      // The format is read by its size, whatever extension it carries.
      uint8_t content[kWaveFormatBytes];
      const size_t take = size < sizeof content ? size : sizeof content;
      if (in.Read(content, take) != take || !in.Skip(size - take)) break;
      if (!ParseWaveFormat(content, take, &found) || !IsPcmFormat(found)) return false;
      sawFormat = true;
    } else if (std::memcmp(chunk, "data", 4) == 0) {
      if (!sawFormat) break;  // samples before their format
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

  const uint16_t formatChannels = found.channels;
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
  *rate = static_cast<int32_t>(found.sampleRate);
  *samples = reinterpret_cast<int16_t*>(gathered);
  if (format != nullptr) *format = found;
  return true;
}

}  // namespace quorvel

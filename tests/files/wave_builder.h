#pragma once

// Helpers for the WAV tests: hand-built RIFF files, a scratch folder, whole-file reads and
// writes.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace quorvel {

namespace wavetest {

using Bytes = std::vector<uint8_t>;

inline void Append(Bytes& out, const Bytes& more) {
  out.insert(out.end(), more.begin(), more.end());
}

inline Bytes operator+(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

inline void AppendText(Bytes& out, const std::string& text) {
  out.insert(out.end(), text.begin(), text.end());
}

inline Bytes Le16(uint16_t v) {
  return {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8)};
}

inline Bytes Le32(uint32_t v) {
  return {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v >> 16),
          static_cast<uint8_t>(v >> 24)};
}

inline Bytes Be32(uint32_t v) {
  return {static_cast<uint8_t>(v >> 24), static_cast<uint8_t>(v >> 16),
          static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v)};
}

inline uint32_t GetLe32(const Bytes& b, size_t at) {
  return static_cast<uint32_t>(b.at(at)) | (static_cast<uint32_t>(b.at(at + 1)) << 8) |
         (static_cast<uint32_t>(b.at(at + 2)) << 16) | (static_cast<uint32_t>(b.at(at + 3)) << 24);
}

// A chunk: 4-character id, size (the content's length unless given), content. No pad byte.
inline Bytes Chunk(const std::string& id, const Bytes& content, int64_t size = -1) {
  Bytes out;
  AppendText(out, id.substr(0, 4));
  Append(out, Le32(size < 0 ? static_cast<uint32_t>(content.size()) : static_cast<uint32_t>(size)));
  Append(out, content);
  return out;
}

// The 16 basic format bytes, then any extension bytes.
inline Bytes FormatContent(uint16_t channels, uint32_t rate, uint16_t bits, uint16_t tag = 1,
                           const Bytes& extension = {}) {
  const uint16_t align = static_cast<uint16_t>(channels * bits / 8);
  Bytes out;
  Append(out, Le16(tag));
  Append(out, Le16(channels));
  Append(out, Le32(rate));
  Append(out, Le32(rate * align));
  Append(out, Le16(align));
  Append(out, Le16(bits));
  Append(out, extension);
  return out;
}

// "RIFF", size (file length - 8 unless given), form type, then the chunks.
inline Bytes RiffFile(const Bytes& chunks, int64_t riffSize = -1, const std::string& riff = "RIFF",
                      const std::string& type = "WAVE") {
  Bytes out;
  AppendText(out, riff);
  Append(out, Le32(riffSize < 0 ? static_cast<uint32_t>(chunks.size() + 4)
                                : static_cast<uint32_t>(riffSize)));
  AppendText(out, type);
  Append(out, chunks);
  return out;
}

// Little-endian 16-bit sample bytes of values.
inline Bytes SampleBytes(const std::vector<int16_t>& values) {
  Bytes out;
  for (int16_t v : values) Append(out, Le16(static_cast<uint16_t>(v)));
  return out;
}

// A test signal: a slow ramp that wraps, different at every index of a recording.
inline std::vector<int16_t> Ramp(size_t count, int step = 7) {
  std::vector<int16_t> out(count);
  int v = -32768;
  for (size_t i = 0; i < count; ++i) {
    out[i] = static_cast<int16_t>(v);
    v += step;
    if (v > 32767) v -= 65536;
  }
  return out;
}

inline void WriteBytes(const std::filesystem::path& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  ASSERT_TRUE(out.good()) << "cannot write " << path;
}

inline Bytes ReadBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A fresh folder under the test temp folder, removed with everything in it at the end.
class ScratchFolder {
 public:
  ScratchFolder() {
    std::string pattern = ::testing::TempDir() + "quorvel_wave_XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    const char* made = mkdtemp(buffer.data());
    if (made != nullptr) m_path = made;
  }
  ~ScratchFolder() {
    std::error_code ignored;
    if (!m_path.empty()) std::filesystem::remove_all(m_path, ignored);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  const std::filesystem::path& Path() const { return m_path; }
  std::string File(const std::string& name) const { return (m_path / name).string(); }

 private:
  std::filesystem::path m_path;
};

}  // namespace wavetest

}  // namespace quorvel

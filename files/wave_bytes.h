#pragma once

#include <cstddef>
#include <cstdint>

namespace quorvel {

// Byte-order and chunk-id helpers shared by the WAV writer, the chunk walk, the metadata
// parsers and the capture sample reader.
namespace wavebytes {

inline uint16_t GetLe16(const uint8_t* p) {
  return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
inline uint32_t GetLe32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
inline uint32_t GetBe32(const uint8_t* p) {
  return (static_cast<uint32_t>(p[0]) << 24) | (static_cast<uint32_t>(p[1]) << 16) |
         (static_cast<uint32_t>(p[2]) << 8) | static_cast<uint32_t>(p[3]);
}
// Four bytes of 7 bits each, most significant first.
inline uint32_t GetSynchsafe32(const uint8_t* p) {
  return (static_cast<uint32_t>(p[0] & 0x7F) << 21) | (static_cast<uint32_t>(p[1] & 0x7F) << 14) |
         (static_cast<uint32_t>(p[2] & 0x7F) << 7) | static_cast<uint32_t>(p[3] & 0x7F);
}
inline void PutLe16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
inline void PutLe32(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
  p[2] = static_cast<uint8_t>(v >> 16);
  p[3] = static_cast<uint8_t>(v >> 24);
}
inline void PutBe32(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v >> 24);
  p[1] = static_cast<uint8_t>(v >> 16);
  p[2] = static_cast<uint8_t>(v >> 8);
  p[3] = static_cast<uint8_t>(v);
}
inline void PutSynchsafe32(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>((v >> 21) & 0x7F);
  p[1] = static_cast<uint8_t>((v >> 14) & 0x7F);
  p[2] = static_cast<uint8_t>((v >> 7) & 0x7F);
  p[3] = static_cast<uint8_t>(v & 0x7F);
}

inline char AsciiLower(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// The first n bytes of id equal those of the text, without regard to ASCII case.
inline bool IdPrefixEquals(const void* id, const char* text, size_t n) {
  const char* a = static_cast<const char*>(id);
  for (size_t i = 0; i < n; ++i) {
    if (AsciiLower(a[i]) != AsciiLower(text[i])) return false;
  }
  return true;
}
// A four-byte chunk or frame id equals a four-character text, without regard to ASCII case.
inline bool IdEquals(const void* id, const char* text) {
  return IdPrefixEquals(id, text, 4);
}

}  // namespace wavebytes

}  // namespace quorvel

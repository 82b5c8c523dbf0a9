#pragma once

#include <cstddef>
#include <cstdint>

namespace quorvel {

// UTF-8 and Windows-1252 helpers shared by the CUtil sources (not part of CUtil's interface).
namespace util_detail {

// Decodes one well-formed UTF-8 sequence (no overlong forms, no surrogates, at most U+10FFFF)
// from the avail bytes at s into *codePoint and returns its length in bytes, or 0 when the bytes
// do not start a well-formed sequence within avail.
size_t DecodeUtf8(const uint8_t* s, size_t avail, char32_t* codePoint);

// Writes the UTF-8 form of codePoint into out (room for 4 bytes) and returns its length.
size_t EncodeUtf8(char32_t codePoint, char* out);

// The Unicode character of a Windows-1252 byte; the five bytes Windows-1252 leaves undefined
// (0x81, 0x8D, 0x8F, 0x90, 0x9D) give "?".
char32_t Cp1252ToUnicode(uint8_t byte);

// True for "/" and "\": both separate the parts of a path.
inline bool IsPathSeparator(char c) {
  return c == '/' || c == '\\';
}

// The separator written when a path is normalised.
#ifdef _WIN32
inline constexpr char kPlatformSeparator = '\\';
#else
inline constexpr char kPlatformSeparator = '/';
#endif

}  // namespace util_detail

}  // namespace quorvel

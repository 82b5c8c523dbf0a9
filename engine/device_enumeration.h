#pragma once

#include <cstddef>

namespace quorvel {

// The output list's last entry: the platform's default output (device id -1).
constexpr char kOutputMapperName[] = "Default Audio Output";

// Longest device name kept in a 512-byte name slot [bytes].
constexpr size_t kMaxDeviceNameLength = 511;

// Copies at most maxBytes bytes of text into dst (which holds maxBytes + 1) and terminates it.
// A cut never splits a UTF-8 character: the cut moves back to the start of that character.
// Returns the length copied.
size_t CopyDeviceName(char* dst, const char* text, size_t maxBytes);

// Case-blind comparison of two texts, byte by byte with ASCII letters upper-cased.
[[nodiscard]] bool DeviceNamesEqual(const char* a, const char* b);

// True when the first `length` bytes of `text` equal those of `prefix`, letters compared
// upper-cased; text must be at least `length` bytes long.
[[nodiscard]] bool DeviceNameStartsWith(const char* text, const char* prefix, size_t length);

}  // namespace quorvel

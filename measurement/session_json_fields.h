#pragma once

#include <string>

#include "measurement/session_document.h"

namespace quorvel {

// The texts session.json holds for the document's choices, and the byte forms its paths take;
// shared by its writer and its reader.

[[nodiscard]] const char* DerivedKindName(DerivedKind kind);  // "average_db", ..., "difference"
[[nodiscard]] bool ParseDerivedKindName(const std::string& name, DerivedKind* kind);
[[nodiscard]] const char* LevelCurveName(LevelCurve curve);  // "live", "response"
[[nodiscard]] bool ParseLevelCurveName(const std::string& name, LevelCurve* curve);
[[nodiscard]] const char* ViewCurveName(ViewCurve curve);  // "level", "phase", "live"
[[nodiscard]] bool ParseViewCurveName(const std::string& name, ViewCurve* curve);

[[nodiscard]] bool IsValidUtf8(const std::string& text);
// The text with each byte that starts no well-formed UTF-8 sequence replaced by U+FFFD.
[[nodiscard]] std::string ReadableUtf8(const std::string& text);
// Every byte as two lower-case hexadecimal digits, and back (false for an odd count or a
// character that is no hexadecimal digit).
[[nodiscard]] std::string HexBytes(const std::string& bytes);
[[nodiscard]] bool ParseHexBytes(const std::string& hex, std::string* bytes);
// 0..15 for a hexadecimal digit (either case), else -1.
[[nodiscard]] int HexDigitValue(char c);

}  // namespace quorvel

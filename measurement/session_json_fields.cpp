#include "measurement/session_json_fields.h"

#include <cstdint>

#include "base/util_unicode.h"

namespace quorvel {

namespace {

struct KindName {
  DerivedKind kind;
  const char* name;
};
constexpr KindName kKindNames[] = {{DerivedKind::kAverageDb, "average_db"},
                                   {DerivedKind::kAveragePower, "average_power"},
                                   {DerivedKind::kAverageVector, "average_vector"},
                                   {DerivedKind::kDifference, "difference"},
                                   {DerivedKind::kEqualised, "equalised"}};

// The length of the well-formed UTF-8 sequence at text[at], 0 when none starts there.
size_t SequenceAt(const std::string& text, size_t at) {
  char32_t codePoint = 0;
  return util_detail::DecodeUtf8(reinterpret_cast<const uint8_t*>(text.data()) + at,
                                 text.size() - at, &codePoint);
}

}  // namespace

int HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

const char* DerivedKindName(DerivedKind kind) {
  for (const KindName& entry : kKindNames) {
    if (entry.kind == kind) return entry.name;
  }
  return "average_db";
}

bool ParseDerivedKindName(const std::string& name, DerivedKind* kind) {
  for (const KindName& entry : kKindNames) {
    if (name == entry.name) {
      *kind = entry.kind;
      return true;
    }
  }
  return false;
}

const char* LevelCurveName(LevelCurve curve) {
  return curve == LevelCurve::kResponse ? "response" : "live";
}

bool ParseLevelCurveName(const std::string& name, LevelCurve* curve) {
  if (name != "live" && name != "response") return false;
  *curve = name == "live" ? LevelCurve::kLive : LevelCurve::kResponse;
  return true;
}

const char* ViewCurveName(ViewCurve curve) {
  switch (curve) {
    case ViewCurve::kLevel:
      break;
    case ViewCurve::kPhase:
      return "phase";
    case ViewCurve::kLive:
      return "live";
  }
  return "level";
}

bool ParseViewCurveName(const std::string& name, ViewCurve* curve) {
  for (const ViewCurve each : {ViewCurve::kLevel, ViewCurve::kPhase, ViewCurve::kLive}) {
    if (name == ViewCurveName(each)) {
      *curve = each;
      return true;
    }
  }
  return false;
}

bool IsValidUtf8(const std::string& text) {
  for (size_t at = 0; at < text.size();) {
    const size_t length = SequenceAt(text, at);
    if (length == 0) return false;
    at += length;
  }
  return true;
}

std::string ReadableUtf8(const std::string& text) {
  std::string readable;
  readable.reserve(text.size());
  for (size_t at = 0; at < text.size();) {
    const size_t length = SequenceAt(text, at);
    if (length == 0) {
      readable += "\xEF\xBF\xBD";
      ++at;
    } else {
      readable.append(text, at, length);
      at += length;
    }
  }
  return readable;
}

std::string HexBytes(const std::string& bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string hex;
  hex.reserve(bytes.size() * 2);
  for (char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    hex += kDigits[byte >> 4];
    hex += kDigits[byte & 15];
  }
  return hex;
}

bool ParseHexBytes(const std::string& hex, std::string* bytes) {
  if (hex.size() % 2 != 0) return false;
  std::string decoded;
  decoded.reserve(hex.size() / 2);
  for (size_t i = 0; i < hex.size(); i += 2) {
    const int high = HexDigitValue(hex[i]), low = HexDigitValue(hex[i + 1]);
    if (high < 0 || low < 0) return false;
    decoded += static_cast<char>(high * 16 + low);
  }
  *bytes = std::move(decoded);
  return true;
}

}  // namespace quorvel

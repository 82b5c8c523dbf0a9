#include "base/preferences.h"

#include <cmath>

#include "base/number_text.h"

namespace quorvel {

namespace {

// True when the text holds at least one character above 0x20 other than 0x7F: only then does
// it hold something worth keeping. The whole UTF-8 text counts, and every byte from 0x80 on is
// part of a character, so a device "\xC3\x89cho mic" is kept like "Echo mic".
bool HoldsSomething(const std::string& text) {
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte > 0x20 && byte != 0x7F) return true;
  }
  return false;
}

// The text cut to kMaxPreferenceText bytes, moved back to the start of a UTF-8 character that
// the cut would split.
std::string CutText(const std::string& text) {
  if (text.size() <= kMaxPreferenceText) return text;
  size_t end = kMaxPreferenceText;
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0u) == 0x80u) --end;
  return text.substr(0, end);
}

}  // namespace

std::string FormatPreferenceDouble(double value) {
  return FormatFixed(value, 6);  // "%lf" as the C locale writes it
}

double ParsePreferenceDouble(const std::string& text) {
  double value = 0.0;
  if (ScanDouble(text.data(), text.data() + text.size(), &value) == nullptr) return 0.0;
  return value;
}

std::string IPreferences::ReadString(const char* name, const std::string& defaultValue) {
  std::string stored;
  if (LoadText(name, &stored) && stored.size() <= kMaxPreferenceText && HoldsSomething(stored)) {
    return stored;
  }
  std::string value = CutText(defaultValue);
  StoreText(name, value);
  return value;
}

void IPreferences::WriteString(const char* name, const std::string& value) {
  StoreText(name, CutText(value));
}

double IPreferences::ReadDouble(const char* name, double defaultValue) {
  const std::string text = ReadString(name, FormatPreferenceDouble(defaultValue));
  if (text.empty()) return defaultValue;
  const double value = ParsePreferenceDouble(text);
  if (std::isfinite(value)) return value;
  // "nan" or "inf" in a damaged settings file: no setting can use it, so it is replaced
  WriteDouble(name, defaultValue);
  return defaultValue;
}

void IPreferences::WriteDouble(const char* name, double value) {
  WriteString(name, FormatPreferenceDouble(value));
}

int32_t IPreferences::ReadInt(const char* name, int32_t defaultValue) {
  int32_t value = 0;
  if (LoadInt(name, &value)) return value;
  StoreInt(name, defaultValue);
  return defaultValue;
}

void IPreferences::WriteInt(const char* name, int32_t value) {
  StoreInt(name, value);
}

}  // namespace quorvel

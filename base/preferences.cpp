#include "base/preferences.h"

#include <charconv>
#include <limits>
#include <string_view>
#include <system_error>

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

bool IsCSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

}  // namespace

std::string FormatPreferenceDouble(double value) {
  // std::to_chars never looks at the locale: "%lf" as the C locale writes it.
  char buffer[400];
  const std::to_chars_result result =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 6);
  if (result.ec != std::errc()) return "0.000000";
  return std::string(buffer, result.ptr);
}

double ParsePreferenceDouble(const std::string& text) {
  const char* p = text.data();
  const char* end = text.data() + text.size();
  while (p != end && IsCSpace(*p)) ++p;
  bool negative = false;
  if (p != end && (*p == '+' || *p == '-')) {
    negative = *p == '-';
    ++p;
  }
  // std::from_chars takes no sign of its own here (a second one is no number) and no "0x".
  if (p == end || *p == '+' || *p == '-') return 0.0;
  double value = 0.0;
  std::from_chars_result result{};
  if (end - p >= 2 && p[0] == '0' && (p[1] == 'x' || p[1] == 'X')) {
    result = std::from_chars(p + 2, end, value, std::chars_format::hex);
    if (result.ec != std::errc()) value = 0.0;  // "0x" alone reads as the 0 before it
  } else {
    result = std::from_chars(p, end, value, std::chars_format::general);
    if (result.ec == std::errc::invalid_argument) return 0.0;
  }
  if (result.ec == std::errc::result_out_of_range) {
    // from_chars leaves the value alone; "%lf" gives infinity for a number too large and 0 for
    // one too small (a negative exponent).
    const std::string_view number(p, static_cast<size_t>(result.ptr - p));
    const bool tiny = number.find("e-") != std::string_view::npos ||
                      number.find("E-") != std::string_view::npos ||
                      number.find("p-") != std::string_view::npos ||
                      number.find("P-") != std::string_view::npos;
    value = tiny ? 0.0 : std::numeric_limits<double>::infinity();
  }
  return negative ? -value : value;
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
  return ParsePreferenceDouble(text);
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

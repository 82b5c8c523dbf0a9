// Locale-independent number texts: std::to_chars and std::from_chars never look at the locale.
#include "base/number_text.h"

#include <charconv>
#include <limits>
#include <string_view>
#include <system_error>

namespace quorvel {

namespace {

// Room for any double in fixed notation (309 digits) with up to 64 decimals, sign and point.
constexpr size_t kNumberBuffer = 400;
constexpr int kMaxDecimals = 64;

bool IsCSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

int Clamp(int value, int low, int high) {
  return value < low ? low : (value > high ? high : value);
}

}  // namespace

std::string FormatFixed(double value, int decimals) {
  char buffer[kNumberBuffer];
  const std::to_chars_result result =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed,
                    Clamp(decimals, 0, kMaxDecimals));
  if (result.ec != std::errc()) return std::string();
  return std::string(buffer, result.ptr);
}

std::string FormatGeneral(double value, int precision) {
  char buffer[kNumberBuffer];
  // "%.0g" writes one significant digit, as "%.1g" does.
  const std::to_chars_result result =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general,
                    Clamp(precision, 1, kMaxDecimals));
  if (result.ec != std::errc()) return std::string();
  return std::string(buffer, result.ptr);
}

const char* ScanDouble(const char* begin, const char* end, double* value) {
  const char* p = begin;
  while (p != end && IsCSpace(*p)) ++p;
  bool negative = false;
  if (p != end && (*p == '+' || *p == '-')) {
    negative = *p == '-';
    ++p;
  }
  // std::from_chars takes no sign of its own here (a second one is no number) and no "0x".
  if (p == end || *p == '+' || *p == '-') return nullptr;
  double number = 0.0;
  std::from_chars_result result{};
  if (end - p >= 2 && p[0] == '0' && (p[1] == 'x' || p[1] == 'X')) {
    result = std::from_chars(p + 2, end, number, std::chars_format::hex);
    if (result.ec == std::errc::invalid_argument) {
      // "0x" alone reads as the 0 before it
      result.ptr = p + 1;
      result.ec = std::errc();
      number = 0.0;
    }
  } else {
    result = std::from_chars(p, end, number, std::chars_format::general);
    if (result.ec == std::errc::invalid_argument) return nullptr;
  }
  if (result.ec == std::errc::result_out_of_range) {
    // from_chars leaves the value alone; "%lf" gives infinity for a number too large and 0 for
    // one too small (a negative exponent).
    const std::string_view text(p, static_cast<size_t>(result.ptr - p));
    const bool tiny =
        text.find("e-") != std::string_view::npos || text.find("E-") != std::string_view::npos ||
        text.find("p-") != std::string_view::npos || text.find("P-") != std::string_view::npos;
    number = tiny ? 0.0 : std::numeric_limits<double>::infinity();
  }
  *value = negative ? -number : number;
  return result.ptr;
}

}  // namespace quorvel

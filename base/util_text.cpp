// CUtil: text and number operations.
#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdarg>
#include <cstring>

#include "base/util.h"

namespace quorvel {

namespace {

// ASCII-only case changes: the result never depends on the process locale.
int UpperAscii(unsigned char c) {
  return (c >= 'a' && c <= 'z') ? c - ('a' - 'A') : c;
}
int LowerAscii(unsigned char c) {
  return (c >= 'A' && c <= 'Z') ? c + ('a' - 'A') : c;
}

int CompareUpper(const char* a, const char* b, size_t limit) {
  if (a == nullptr) a = "";
  if (b == nullptr) b = "";
  for (size_t i = 0; i < limit; ++i) {
    const int ca = UpperAscii(static_cast<unsigned char>(a[i]));
    const int cb = UpperAscii(static_cast<unsigned char>(b[i]));
    if (ca != cb) return ca - cb;
    if (ca == 0) return 0;
  }
  return 0;
}

// Formats into a zeroed work buffer of kFormatSize bytes and copies what fits into dst.
__attribute__((format(printf, 3, 0))) int FormatInto(char* dst, size_t dstSize, const char* fmt,
                                                     va_list args) {
  std::array<char, CUtil::kFormatSize> work{};
  const int result = (fmt == nullptr) ? -1 : std::vsnprintf(work.data(), work.size(), fmt, args);
  if (dst != nullptr && dstSize > 0) {
    const size_t limit = std::min(dstSize - 1, CUtil::kFormatSize - 1);
    const size_t n = strnlen(work.data(), limit);
    std::memcpy(dst, work.data(), n);
    dst[n] = '\0';
  }
  return result;
}

}  // namespace

int CUtil::BoundedLength(const char* text) {
  if (text == nullptr) return 0;
  return static_cast<int>(strnlen(text, static_cast<size_t>(kMaxBoundedLength)));
}

int CUtil::PrintableLength(const char* text) {
  if (text == nullptr) return 0;
  int n = 0;
  while (n < kMaxPrintableLength) {
    const auto c = static_cast<unsigned char>(text[n]);
    if (c < 0x20 || c > 0x7E) break;
    ++n;
  }
  return n;
}

bool CUtil::IsBlank(const char* text) {
  if (text == nullptr) return true;
  for (size_t i = 0; i < kFormatSize && text[i] != '\0'; ++i) {
    if (text[i] != ' ') return false;
  }
  return true;
}

int CUtil::CopyText(char* dst, const char* src) {
  return CopyText(dst, kPathBufferSize, src);
}

int CUtil::CopyText(char* dst, size_t dstSize, const char* src) {
  if (dst == nullptr || src == nullptr || dstSize == 0) return 0;
  const size_t limit = std::min(dstSize - 1, kMaxCopyText);
  const size_t n = strnlen(src, limit);
  std::memmove(dst, src, n);
  dst[n] = '\0';
  return static_cast<int>(n);
}

void CUtil::AppendText(char* dst, const char* src) {
  AppendText(dst, kPathBufferSize, src);
}

void CUtil::AppendText(char* dst, size_t dstSize, const char* src) {
  if (dst == nullptr || src == nullptr || dstSize == 0) return;
  const size_t used = strnlen(dst, dstSize);
  if (used >= dstSize) return;  // not a terminated text within its buffer: leave it alone
  const size_t n = strnlen(src, dstSize - 1 - used);
  std::memmove(dst + used, src, n);
  dst[used + n] = '\0';
}

void CUtil::CopyTrimmed(char* dst, size_t count, const char* src) {
  if (dst == nullptr || src == nullptr) return;
  // Leading bytes of 0x20 or below are skipped, zero bytes among them (a text padded in front
  // with zeros keeps its words); after the first other byte a zero byte ends the text.
  const auto isBlank = [](char c) { return static_cast<unsigned char>(c) <= 0x20; };
  size_t start = 0;
  while (start < count && isBlank(src[start])) ++start;
  size_t n = 0;
  while (start + n < count && src[start + n] != '\0') {
    dst[n] = src[start + n];
    ++n;
  }
  while (n > 0 && isBlank(dst[n - 1])) --n;
  dst[n] = '\0';
}

int CUtil::CompareNoCase(const char* a, const char* b) {
  return CompareUpper(a, b, kMaxCopyText);
}

int CUtil::CompareNoCaseN(const char* a, const char* b, size_t n) {
  return CompareUpper(a, b, n);
}

int CUtil::FindNoCase(const char* text, const char* pattern) {
  if (text == nullptr || pattern == nullptr) return -1;
  for (size_t start = 0;; ++start) {
    size_t i = 0;
    while (pattern[i] != '\0' && LowerAscii(static_cast<unsigned char>(text[start + i])) ==
                                     LowerAscii(static_cast<unsigned char>(pattern[i]))) {
      ++i;
    }
    if (pattern[i] == '\0') return static_cast<int>(start);
    if (text[start] == '\0') return -1;
  }
}

int CUtil::FormatText(char* dst, const char* fmt, ...) {
  va_list args;
  va_start(args, fmt);
  const int result = FormatInto(dst, kFormatSize, fmt, args);
  va_end(args);
  return result;
}

int CUtil::FormatText(char* dst, size_t dstSize, const char* fmt, ...) {
  va_list args;
  va_start(args, fmt);
  const int result = FormatInto(dst, dstSize, fmt, args);
  va_end(args);
  return result;
}

std::string CUtil::FormatString(const char* fmt, ...) {
  char text[kFormatSize];
  va_list args;
  va_start(args, fmt);
  FormatInto(text, sizeof text, fmt, args);
  va_end(args);
  return text;
}

double CUtil::ParseFrequency(const char* text) {
  if (text == nullptr) return 0.0;
  const double factor = FindNoCase(text, "khz") >= 0 ? 1000.0 : 1.0;

  // Both "1.5" and "1,5" are read as one and a half, whatever the process locale says.
  char copy[32];
  size_t n = 0;
  for (; n < sizeof(copy) - 1 && text[n] != '\0'; ++n) copy[n] = text[n] == ',' ? '.' : text[n];
  copy[n] = '\0';

  // The number is read as "%lf" reads it: leading white space and one sign are allowed.
  const char* p = copy;
  const char* end = copy + n;
  while (p < end && (*p == ' ' || (*p >= '\t' && *p <= '\r'))) ++p;
  bool negative = false;
  if (p < end && (*p == '+' || *p == '-')) {
    negative = *p == '-';
    ++p;
  }
  if (p < end && (*p == '+' || *p == '-')) return 0.0;
  double value = 0.0;
  const std::from_chars_result parsed = std::from_chars(p, end, value);
  if (parsed.ec != std::errc()) return 0.0;
  return (negative ? -value : value) * factor;
}

double CUtil::RoundForLabel(double value) {
  const double magnitude = std::fabs(value);
  if (magnitude < 0.01) return 0.0;
  // c never falls below 0.1, so values of 1000 or more are only rounded to a multiple of 10.
  double c = 0.1;
  while (c * magnitude < 100.0) c *= 10.0;
  double n = std::trunc(c * magnitude + 0.5);
  if (value < 0) n = -n;
  return n / c;
}

}  // namespace quorvel

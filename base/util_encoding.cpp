// CUtil: tag text decoding (UTF-16 and UTF-8 to the narrow UTF-8 text) and the ASCII look-alike
// table of the Windows-1252 characters.
#include <algorithm>
#include <cstring>
#include <string>

#include "base/util.h"
#include "base/util_unicode.h"

namespace quorvel {

namespace {

// Unicode characters of the Windows-1252 bytes 0x80..0x9F ("?" for the five undefined bytes).
constexpr char32_t kCp1252High[32] = {
    0x20AC, U'?',   0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, U'?',   0x017D, U'?',   U'?',   0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, U'?',   0x017E, 0x0178};

// ASCII look-alikes of the Windows-1252 bytes 0x80..0xFF. Letters keep their case and lose
// their diacritic; the other characters become the ASCII punctuation they resemble.
constexpr char kLookAlike[128] = {
    // 0x80: euro, -, low quote, f-hook, low double quote, ellipsis, dagger, double dagger
    'E', '?', ',', 'S', '"', '.', '+', '+',
    // 0x88: circumflex, per mille, S caron, left angle, OE, -, Z caron, -
    '^', '%', 'S', '<', 'O', '?', 'Z', '?',
    // 0x90: -, quotes, bullet, en dash, em dash
    '?', '\'', '\'', '"', '"', '*', '-', '-',
    // 0x98: tilde, trade mark, s caron, right angle, oe, -, z caron, Y diaeresis
    '~', 'T', 's', '>', 'o', '?', 'z', 'Y',
    // 0xA0: no-break space, inverted !, cent, pound, currency, yen, broken bar, section
    ' ', '!', 'c', 'L', 'o', 'Y', '|', 'S',
    // 0xA8: diaeresis, copyright, feminine ordinal, left guillemet, not, soft hyphen, (R), macron
    '"', 'C', 'a', '<', '-', '-', 'C', '-',
    // 0xB0: degree, plus-minus, superscript 2 and 3, acute, micro, pilcrow, middle dot
    'o', '+', '2', '3', '\'', 'u', 'P', '.',
    // 0xB8: cedilla, superscript 1, masculine ordinal, right guillemet, fractions, inverted ?
    ',', '1', 'o', '>', '/', '/', '/', '?',
    // 0xC0
    'A', 'A', 'A', 'A', 'A', 'A', 'A', 'C', 'E', 'E', 'E', 'E', 'I', 'I', 'I', 'I',
    // 0xD0
    'D', 'N', 'O', 'O', 'O', 'O', 'O', 'x', 'O', 'U', 'U', 'U', 'U', 'Y', 'p', 'S',
    // 0xE0
    'a', 'a', 'a', 'a', 'a', 'a', 'a', 'c', 'e', 'e', 'e', 'e', 'i', 'i', 'i', 'i',
    // 0xF0
    'd', 'n', 'o', 'o', 'o', 'o', 'o', '/', 'o', 'u', 'u', 'u', 'u', 'y', 'p', 'y'};

// Longest prefix of text[0..length) that does not end inside a UTF-8 sequence and fits limit.
size_t Utf8Prefix(const char* text, size_t length, size_t limit) {
  if (length <= limit) return length;
  size_t cut = limit;
  // Step back over continuation bytes to the start of the sequence the limit falls into.
  while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
  return cut;
}

// Converts count16 UTF-16 units (little- or big-endian) at src to UTF-8 into dst (dstSize bytes,
// terminated), stopping at a zero unit; the text is cut at whole characters so that it fits
// both dst and the work buffer. An unpaired surrogate becomes "?".
int Utf16ToUtf8(char* dst, size_t dstSize, const uint8_t* src, size_t count16, bool bigEndian) {
  const size_t limit = std::min(dstSize - 1, CUtil::kTextWorkSize - 1);
  const auto unitAt = [&](size_t k) -> char32_t {
    const uint8_t lo = bigEndian ? src[2 * k + 1] : src[2 * k];
    const uint8_t hi = bigEndian ? src[2 * k] : src[2 * k + 1];
    return static_cast<char32_t>(lo | (hi << 8));
  };
  size_t out = 0;
  for (size_t k = 0; k < count16; ++k) {
    char32_t codePoint = unitAt(k);
    if (codePoint == 0) break;
    if (codePoint >= 0xD800 && codePoint <= 0xDBFF && k + 1 < count16) {
      const char32_t low = unitAt(k + 1);
      if (low >= 0xDC00 && low <= 0xDFFF) {
        codePoint = 0x10000 + ((codePoint - 0xD800) << 10) + (low - 0xDC00);
        ++k;
      }
    }
    if (codePoint >= 0xD800 && codePoint <= 0xDFFF) codePoint = U'?';
    char encoded[4];
    const size_t n = util_detail::EncodeUtf8(codePoint, encoded);
    if (out + n > limit) break;
    std::memcpy(dst + out, encoded, n);
    out += n;
  }
  dst[out] = '\0';
  return static_cast<int>(out);
}

}  // namespace

namespace util_detail {

size_t DecodeUtf8(const uint8_t* s, size_t avail, char32_t* codePoint) {
  if (avail == 0) return 0;
  const uint8_t lead = s[0];
  size_t length = 0;
  char32_t value = 0;
  char32_t minimum = 0;
  if (lead < 0x80) {
    *codePoint = lead;
    return 1;
  } else if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    value = lead & 0x1Fu;
    minimum = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    value = lead & 0x0Fu;
    minimum = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    value = lead & 0x07u;
    minimum = 0x10000;
  } else {
    return 0;
  }
  if (avail < length) return 0;
  for (size_t i = 1; i < length; ++i) {
    if ((s[i] & 0xC0) != 0x80) return 0;
    value = (value << 6) | (s[i] & 0x3Fu);
  }
  if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return 0;
  *codePoint = value;
  return length;
}

size_t EncodeUtf8(char32_t codePoint, char* out) {
  if (codePoint < 0x80) {
    out[0] = static_cast<char>(codePoint);
    return 1;
  }
  if (codePoint < 0x800) {
    out[0] = static_cast<char>(0xC0 | (codePoint >> 6));
    out[1] = static_cast<char>(0x80 | (codePoint & 0x3F));
    return 2;
  }
  if (codePoint < 0x10000) {
    out[0] = static_cast<char>(0xE0 | (codePoint >> 12));
    out[1] = static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
    out[2] = static_cast<char>(0x80 | (codePoint & 0x3F));
    return 3;
  }
  out[0] = static_cast<char>(0xF0 | (codePoint >> 18));
  out[1] = static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F));
  out[2] = static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
  out[3] = static_cast<char>(0x80 | (codePoint & 0x3F));
  return 4;
}

char32_t Cp1252ToUnicode(uint8_t byte) {
  if (byte >= 0x80 && byte <= 0x9F) return kCp1252High[byte - 0x80];
  return byte;  // ASCII and 0xA0..0xFF are the Latin-1 characters of the same number
}

}  // namespace util_detail

int CUtil::TextToAnsi(char* dst, size_t dstSize, const uint8_t* src, size_t count) {
  if (dst == nullptr || dstSize == 0) return 0;
  dst[0] = '\0';
  if (src == nullptr || count == 0) return 0;

  if (count >= 2 && src[0] == 0xFE && src[1] == 0xFF) {
    return Utf16ToUtf8(dst, dstSize, src + 2, (count - 2) / 2, true);
  }
  if (count >= 2 && src[0] == 0xFF && src[1] == 0xFE) {
    return Utf16ToUtf8(dst, dstSize, src + 2, (count - 2) / 2, false);
  }
  size_t start = 0;
  while (start < count && src[start] < 0x20) ++start;
  const size_t rest = count - start;
  if (rest > 0 && std::memchr(src + start, 0, rest) != nullptr) {
    return Utf16ToUtf8(dst, dstSize, src + start, rest / 2, false);
  }
  Utf8ToAnsi(src + start, dst, dstSize, rest);
  return BoundedLength(dst);
}

void CUtil::Utf8ToAnsi(const uint8_t* src, char* dst, size_t dstSize, size_t count) {
  if (dst == nullptr || dstSize == 0) return;
  dst[0] = '\0';
  if (src == nullptr || count == 0 || src[0] == 0) return;

  // Every source byte gives at most three bytes of UTF-8 (a Windows-1252 byte read as itself).
  std::string work;
  work.reserve(3 * count + 16);
  size_t i = 0;
  while (i < count) {
    const uint8_t b = src[i];
    if (b < 0x20 || b == 0x7F) break;  // a zero or control byte ends the text
    char32_t codePoint = 0;
    size_t used = util_detail::DecodeUtf8(src + i, count - i, &codePoint);
    if (used == 0) {
      codePoint = util_detail::Cp1252ToUnicode(b);
      used = 1;
    }
    i += used;
    if (codePoint == 0xA0) codePoint = U' ';  // no-break space
    if (used > 1 && codePoint != U' ') {
      work.append(reinterpret_cast<const char*>(src + i - used), used);  // valid: unchanged
    } else {
      char encoded[4];
      work.append(encoded, util_detail::EncodeUtf8(codePoint, encoded));
    }
  }

  // Trim blanks at both ends, then keep what fits dst without splitting a character.
  size_t first = 0;
  size_t last = work.size();
  while (first < last && static_cast<unsigned char>(work[first]) <= 0x20) ++first;
  while (last > first && static_cast<unsigned char>(work[last - 1]) <= 0x20) --last;
  const size_t n = Utf8Prefix(work.data() + first, last - first, dstSize - 1);
  CopyTrimmed(dst, n, work.data() + first);
}

char CUtil::AsciiLookAlike(unsigned char byte) {
  return byte < 0x80 ? static_cast<char>(byte) : kLookAlike[byte - 0x80];
}

int CUtil::ToAsciiUpper(char* dst, size_t dstSize, const char* text) {
  if (dst == nullptr || dstSize == 0) return 0;
  size_t n = 0;
  if (text != nullptr) {
    for (; n < dstSize - 1 && text[n] != '\0'; ++n) {
      const auto c = static_cast<unsigned char>(text[n]);
      if (c < 0x20) {
        dst[n] = '_';
      } else if (c >= 'a' && c <= 'z') {
        dst[n] = static_cast<char>(c - ('a' - 'A'));
      } else {
        dst[n] = AsciiLookAlike(c);
      }
    }
  }
  dst[n] = '\0';
  return static_cast<int>(n);
}

}  // namespace quorvel

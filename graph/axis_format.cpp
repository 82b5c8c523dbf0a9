// FormatAxisNumber: the labels of the graph's axes and of the chart preview. Integers are
// written with printf (no locale changes them); fractions with FormatGeneral, which keeps the
// decimal point in every locale.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "base/number_text.h"
#include "base/util.h"
#include "graph/graph_scales.h"
#include "graph/graphical.h"

namespace quorvel {

namespace {

// "e+03" becomes "e3" and "e-05" becomes "e-5": the sign's leading zeros (and a '+') go.
// Only the zeros that lead the exponent are removed, so "e+10" stays "e10".
void TidyExponent(std::string& text) {
  for (size_t i = text.size(); i-- > 1;) {
    const char c = text[i];
    if (c != '+' && c != '-') continue;
    size_t end = i + 1;
    while (end < text.size() && text[end] == '0') ++end;
    if (end == text.size() && end > i + 1) --end;  // keep one digit of an all-zero exponent
    const size_t from = c == '+' ? i : i + 1;
    text.erase(from, end - from);
    return;
  }
}

// Number of digits of b written with "%d".
size_t DigitCount(int b) {
  return CUtil::FormatString("%d", b).size();
}

}  // namespace

std::string CGraphical::FormatAxisNumber(int width, double value) {
  if (std::isnan(value)) return "0";
  // step 1: the value rounded half away from zero, and its fractional part
  const long n = RoundHalfAway(value);
  const double frac = value - std::trunc(value);
  std::string text = CUtil::FormatString("%li", n);
  const int length = static_cast<int>(text.size());
  if (value < 0) width += 1;
  if (width < 1) width = 1;
  if (width > 64) width = 64;

  // integer form
  if (frac == 0.0 || length > width - 2) {
    if (length <= width) return text;
    long divisor = 1;
    for (int e = 1; e <= 10; ++e) {
      divisor *= 10;
      text = CUtil::FormatString("%lie%d", n / divisor, e);
      if (static_cast<int>(text.size()) <= width) break;
    }
    return text;
  }

  // fractional form: the most significant digits that fit the width
  for (int p = width - 2; p >= 1; --p) {
    text = FormatGeneral(value, p);  // "%.*g", with a decimal point whatever the locale
    TidyExponent(text);
    const int len = static_cast<int>(text.size());
    if (len == width) break;
    if (len < width) {
      // pad the mantissa's fraction with zeros up to the width ("1.5e-5" -> "1.500e-5"); a
      // mantissa without a decimal point is left short, since zeros there would change its value
      const size_t e = text.find_last_of("eE");
      if (e != std::string::npos && text.find('.') < e) {
        text.insert(e, static_cast<size_t>(width - len), '0');
      }
      break;
    }
  }

  if (n == 0) return text;
  // "1.25e3" becomes "12.5e2": digits move before the point while the exponent allows
  int a = 0;
  int b = 0;
  int c = 0;
  if (std::sscanf(text.c_str(), "%d.%de%d", &a, &b, &c) != 3 || a == 0 || b == 0 || c == 0) {
    return text;
  }
  const int digits = static_cast<int>(DigitCount(b));
  const int shift = std::min(digits - 1, c - 1);
  if (shift <= 0) return text;
  const size_t point = text.find('.');
  const size_t e = text.find_last_of("eE");
  if (point == std::string::npos || e == std::string::npos || point + 1 + shift > e) return text;
  std::string moved = text.substr(0, point) + text.substr(point + 1, shift) + "." +
                      text.substr(point + 1 + shift, e - point - 1 - shift);
  if (moved.back() == '.') moved.pop_back();
  return moved + text.substr(e, 1) + CUtil::FormatString("%d", c - shift);
}

void CGraphical::FormatAxisNumber(char* out, size_t outBytes, int width, double value) {
  if (out == nullptr || outBytes == 0) return;
  const std::string text = FormatAxisNumber(width, value);
  const size_t n = std::min(text.size(), outBytes - 1);
  std::memcpy(out, text.data(), n);
  out[n] = '\0';
}

}  // namespace quorvel

// Calibration charts: the line pieces, number tokens and the point table.
#include <locale.h>  // newlocale, strtod_l
#include <algorithm>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <string>

#include "base/util.h"
#include "files/chart_file.h"

namespace quorvel {

namespace {

// A number token is a run of letters, digits, ".", "-" and "+"; a byte from 0x80 up counts as a
// letter or digit when its Windows-1252 look-alike is one. Everything else separates.
bool IsTokenByte(unsigned char c) {
  if (c == '.' || c == '-' || c == '+') return true;
  const auto ascii = static_cast<unsigned char>(CUtil::AsciiLookAlike(c));
  return (ascii >= '0' && ascii <= '9') || (ascii >= 'A' && ascii <= 'Z') ||
         (ascii >= 'a' && ascii <= 'z');
}

// The C locale, made once: numbers in charts always use "." whatever LC_NUMERIC says.
locale_t CLocale() {
  static const locale_t c = newlocale(LC_ALL_MASK, "C", locale_t{});
  return c;
}

// A decimal floating-point number as "%lf" reads it (optional sign, digits with an optional
// ".", optional exponent; also "inf", "nan" and hexadecimal forms); 0 when nothing scans.
double ReadNumber(const char* text) {
  char* end = nullptr;
  const double value = strtod_l(text, &end, CLocale());
  return end == text ? 0.0 : value;
}

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// After the first number token of the line from `at` to `end`, another one follows.
bool HoldsTwoNumbers(const std::string& text, size_t at, size_t end) {
  while (at < end && IsTokenByte(static_cast<unsigned char>(text[at]))) ++at;
  while (at < end && !IsTokenByte(static_cast<unsigned char>(text[at]))) ++at;
  return at < end;
}

// The text of a chart written with decimal commas, its commas between two digits made points;
// any other chart's text as it is. Such a chart's number lines (first non-blank character a
// digit, a sign or ".") hold no "." and at least one of them a "," between two digits, and each
// line with such a comma still holds two numbers read that way: "20,5" alone is the
// comma-separated pair it has always been.
std::string DecimalCommasAsPoints(const std::string& text) {
  const size_t n = std::min(text.find('\0'), text.size());  // a NUL ends the text
  std::string read = text;
  bool commas = false;
  for (size_t start = 0; start < n;) {
    const size_t end = std::min(text.find('\n', start), n);
    const size_t first = text.find_first_not_of(" \t", start);
    if (first < end &&
        (IsDigit(text[first]) || text[first] == '.' || text[first] == '-' || text[first] == '+')) {
      bool lineCommas = false;
      for (size_t i = first; i < end; ++i) {
        if (text[i] == '.') return text;
        if (text[i] == ',' && i > first && i + 1 < end && IsDigit(text[i - 1]) &&
            IsDigit(text[i + 1])) {
          read[i] = '.';
          lineCommas = true;
        }
      }
      if (lineCommas && !HoldsTwoNumbers(read, first, end)) return text;
      commas = commas || lineCommas;
    }
    start = end + 1;
  }
  return commas ? read : text;
}

}  // namespace

int ParseChartLine(const char* text, double* frequencyHz, double* levelDb) {
  *frequencyHz = 0.0;
  *levelDb = 0.0;
  // The piece is copied so that no number is ever read past its end.
  char piece[kChartPieceLength + 1];
  size_t length = 0;
  while (length < kChartPieceLength && text[length] != '\0') {
    piece[length] = text[length];
    ++length;
    if (piece[length - 1] == '\n') break;
  }
  piece[length] = '\0';
  if (length == 0) return -1;
  const char first = piece[0];
  if (!((first >= '0' && first <= '9') || first == '.')) return static_cast<int>(length);

  *frequencyHz = ReadNumber(piece);
  size_t i = 0;
  while (i < length && IsTokenByte(static_cast<unsigned char>(piece[i]))) ++i;
  if (i == length) return -1;
  while (i < length && !IsTokenByte(static_cast<unsigned char>(piece[i]))) ++i;
  if (i == length) return -1;  // one number only: a point at 0 dB that ends the chart
  *levelDb = ReadNumber(piece + i);
  return static_cast<int>(length);
}

int ParseChart(const std::string& chartText, ChartPointTable* table) {
  table->count = 0;
  // The commas become points in place: the line pieces stay as they are.
  const std::string text = DecimalCommasAsPoints(chartText);
  const size_t n = text.size();
  size_t position = 0;
  while (position < n) {
    double frequency = 0.0;
    double level = 0.0;
    const int consumed = ParseChartLine(text.c_str() + position, &frequency, &level);
    // "1000 nan" or "inf 3" would spread through the interpolation into every response point.
    if (frequency > 0.0 && std::isfinite(frequency) && std::isfinite(level)) {
      table->logFrequency[table->count] = std::log10(frequency);
      table->level[table->count] = level;
      if (++table->count == kMaxChartPoints) break;
    }
    if (consumed < 0) break;
    position += static_cast<size_t>(consumed);
  }
  return table->count;
}

}  // namespace quorvel

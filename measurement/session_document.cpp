#include "measurement/session_document.h"

#include <array>
#include <cstdio>

#include "measurement/session_json_fields.h"

namespace quorvel {

namespace {

constexpr std::array<int, 7> kSmoothings = {1, 3, 6, 12, 24, 48, 0};

// The decimal number of `count` digits at text[at]; -1 when they are not all digits.
int Digits(const std::string& text, size_t at, size_t count) {
  if (at + count > text.size()) return -1;
  int value = 0;
  for (size_t i = at; i < at + count; ++i) {
    if (text[i] < '0' || text[i] > '9') return -1;
    value = value * 10 + (text[i] - '0');
  }
  return value;
}

// Days from 1970-01-01 to a date of the proleptic Gregorian calendar (Howard Hinnant's
// days_from_civil), so the conversion needs neither the time zone nor timegm.
int64_t DaysFromCivil(int64_t year, int month, int day) {
  year -= month <= 2 ? 1 : 0;
  const int64_t era = (year >= 0 ? year : year - 399) / 400;
  const int64_t yearOfEra = year - era * 400;
  const int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + dayOfEra - 719468;
}

int DaysInMonth(int year, int month) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return month == 2 && leap ? 29 : kDays[month - 1];
}

}  // namespace

std::string ColourText(TraceColour colour) {
  char text[8];
  std::snprintf(text, sizeof text, "#%02x%02x%02x", colour.red, colour.green, colour.blue);
  return text;
}

bool ParseColourText(const std::string& text, TraceColour* colour) {
  if (text.size() != 7 || text[0] != '#') return false;
  uint8_t parts[3];
  for (int i = 0; i < 3; ++i) {
    const int high = HexDigitValue(text[1 + 2 * i]);
    const int low = HexDigitValue(text[2 + 2 * i]);
    if (high < 0 || low < 0) return false;
    parts[i] = static_cast<uint8_t>(high * 16 + low);
  }
  *colour = {parts[0], parts[1], parts[2]};
  return true;
}

bool IsSmoothingPerOctave(int perOctave) {
  for (int n : kSmoothings) {
    if (n == perOctave) return true;
  }
  return false;
}

std::string SmoothingText(int perOctave) {
  return perOctave == 0 ? "none" : "1/" + std::to_string(perOctave);
}

bool ParseSmoothingText(const std::string& text, int* perOctave) {
  for (int n : kSmoothings) {
    if (text == SmoothingText(n)) {
      *perOctave = n;
      return true;
    }
  }
  return false;
}

std::string NextTraceId(const SessionDocument& document, char prefix) {
  long long largest = 0;
  auto look = [&](const std::string& id) {
    if (id.size() < 2 || id.size() > 16 || id[0] != prefix) return;
    long long number = 0;
    for (size_t i = 1; i < id.size(); ++i) {
      if (id[i] < '0' || id[i] > '9') return;
      number = number * 10 + (id[i] - '0');
    }
    if (number > largest) largest = number;
  };
  for (const SessionEntry& entry : document.entries) look(entry.id);
  for (const DerivedTrace& trace : document.derived) look(trace.id);
  return std::string(1, prefix) + std::to_string(largest + 1);
}

bool HasTraceId(const SessionDocument& document, const std::string& id) {
  for (const SessionEntry& entry : document.entries) {
    if (entry.id == id) return true;
  }
  for (const DerivedTrace& trace : document.derived) {
    if (trace.id == id) return true;
  }
  return false;
}

std::string UtcTimeText(int64_t utcSeconds) {
  int64_t days = utcSeconds / 86400;
  int64_t seconds = utcSeconds % 86400;
  if (seconds < 0) {
    seconds += 86400;
    days -= 1;
  }
  // civil_from_days, the inverse of DaysFromCivil.
  const int64_t z = days + 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t dayOfEra = z - era * 146097;
  const int64_t yearOfEra =
      (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const int64_t mp = (5 * dayOfYear + 2) / 153;
  const int day = static_cast<int>(dayOfYear - (153 * mp + 2) / 5 + 1);
  const int month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  const int64_t year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);
  char text[48];
  std::snprintf(text, sizeof text, "%04lld-%02d-%02dT%02d:%02d:%02dZ", static_cast<long long>(year),
                month, day, static_cast<int>(seconds / 3600), static_cast<int>(seconds / 60 % 60),
                static_cast<int>(seconds % 60));
  return text;
}

bool ParseUtcTimeText(const std::string& text, int64_t* utcSeconds) {
  const int year = Digits(text, 0, 4), month = Digits(text, 5, 2), day = Digits(text, 8, 2);
  const int hour = Digits(text, 11, 2), minute = Digits(text, 14, 2), second = Digits(text, 17, 2);
  if (year < 0 || month < 1 || month > 12 || day < 1 || hour < 0 || hour > 23 || minute < 0 ||
      minute > 59 || second < 0 || second > 60 || text[4] != '-' || text[7] != '-' ||
      (text[10] != 'T' && text[10] != 't' && text[10] != ' ') || text[13] != ':' ||
      text[16] != ':' || day > DaysInMonth(year, month)) {
    return false;
  }
  size_t at = 19;
  if (at < text.size() && text[at] == '.') {
    ++at;
    const size_t digits = at;
    while (at < text.size() && text[at] >= '0' && text[at] <= '9') ++at;
    if (at == digits) return false;
  }
  int offsetMinutes = 0;
  if (at + 1 == text.size() && (text[at] == 'Z' || text[at] == 'z')) {
    // UTC
  } else if (at + 6 == text.size() && (text[at] == '+' || text[at] == '-') && text[at + 3] == ':') {
    const int hours = Digits(text, at + 1, 2), minutes = Digits(text, at + 4, 2);
    if (hours < 0 || hours > 23 || minutes < 0 || minutes > 59) return false;
    offsetMinutes = (text[at] == '-' ? -1 : 1) * (hours * 60 + minutes);
  } else {
    return false;
  }
  *utcSeconds = DaysFromCivil(year, month, day) * 86400 + hour * 3600 + minute * 60 + second -
                offsetMinutes * 60;
  return true;
}

}  // namespace quorvel

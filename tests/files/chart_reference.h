#pragma once

// An independent reading of calibration charts, written from the rules with the C library's
// own tools (sscanf "%lf" in the C locale, string searches) and nothing of calibration/, so that
// the tests compare two implementations instead of restating one. Also the chart files of the
// shapes users bring: microphone makers' calibration files and other programs' exports.

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace charttest {

// Every byte that belongs to a number token: ASCII letters and digits, ".", "-", "+", and the
// bytes of 0x80..0xFF whose Windows-1252 look-alike is a letter or digit.
inline std::string TokenBytes() {
  std::string set = ".-+";
  for (int c = '0'; c <= '9'; ++c) set += static_cast<char>(c);
  for (int c = 'A'; c <= 'Z'; ++c) set += static_cast<char>(c);
  for (int c = 'a'; c <= 'z'; ++c) set += static_cast<char>(c);
  const int ranges[][2] = {{0x80, 0x80}, {0x83, 0x83}, {0x8A, 0x8A}, {0x8C, 0x8C}, {0x8E, 0x8E},
                           {0x99, 0x9A}, {0x9C, 0x9C}, {0x9E, 0x9F}, {0xA2, 0xA5}, {0xA7, 0xA7},
                           {0xA9, 0xAA}, {0xAE, 0xAE}, {0xB0, 0xB0}, {0xB2, 0xB3}, {0xB5, 0xB6},
                           {0xB9, 0xBA}, {0xC0, 0xF6}, {0xF8, 0xFF}};
  for (const auto& r : ranges) {
    for (int c = r[0]; c <= r[1]; ++c) set += static_cast<char>(c);
  }
  return set;
}

struct Point {
  double logF;
  double level;
};

// The points of a chart file's bytes; nothing when the file is unusable.
inline std::optional<std::vector<Point>> ReferencePoints(std::string t) {
  if (t.empty() || t.size() > 128000) return std::nullopt;
  if (t.rfind("\xEF\xBB\xBF", 0) == 0) t.erase(0, 3);
  t = t.substr(0, t.find_first_of(std::string("\x1A\0", 2)));
  for (size_t p = t.find("\r\n"); p != std::string::npos; p = t.find("\r\n", p + 1)) {
    t.erase(p, 1);
  }
  std::replace(t.begin(), t.end(), '\r', '\n');
  const std::string token = TokenBytes();
  std::vector<Point> points;
  for (size_t at = 0; at < t.size() && points.size() < 2000;) {
    const size_t lf = t.find('\n', at);
    const size_t length =
        std::min<size_t>(lf == std::string::npos ? t.size() - at : lf - at + 1, 63);
    const std::string piece = t.substr(at, length);
    at += length;
    if (!std::isdigit(static_cast<unsigned char>(piece[0])) && piece[0] != '.') continue;
    double f = 0.0;
    double v = 0.0;
    std::sscanf(piece.c_str(), "%lf", &f);
    const size_t afterToken = piece.find_first_not_of(token);
    const size_t level =
        afterToken == std::string::npos ? afterToken : piece.find_first_of(token, afterToken);
    if (level != std::string::npos) std::sscanf(piece.c_str() + level, "%lf", &v);
    if (f > 0.0 && std::isfinite(f) && std::isfinite(v)) points.push_back({std::log10(f), v});
    if (level == std::string::npos) break;  // a single number ends the chart
  }
  const auto beyondSixtyDb = [](const Point& p) { return std::fabs(p.level) > 60.0; };
  if (points.empty() || std::any_of(points.begin(), points.end(), beyondSixtyDb)) return {};
  return points;
}

// The 1020-entry calibration curve of a chart over fmin..fmax [Hz].
inline std::array<double, 1020> ReferenceCurve(const std::vector<Point>& points, double fmin,
                                               double fmax) {
  std::array<double, 1020> curve{};
  for (int k = 0; k < 1000; ++k) {
    const double m = std::log10(fmin * std::pow(fmax / fmin, k / 999.0));
    const auto hit = std::find_if(points.begin(), points.end(), [m](const Point& p) {
      return std::fabs(m - p.logF) < 2.5e-16 || p.logF > m;
    });
    double value = points.back().level;
    if (hit != points.end()) {
      value = hit->level;
      if (std::fabs(m - hit->logF) >= 2.5e-16 && hit != points.begin()) {
        const Point& a = *(hit - 1);
        value = a.level + (m - a.logF) / (hit->logF - a.logF) * (hit->level - a.level);
      }
    }
    curve[static_cast<size_t>(k)] = value;
  }
  curve[1000] = curve[1001] = curve[999];
  return curve;
}

// Chart files as users bring them. usable: whether a calibration comes out of it.
struct ChartSample {
  const char* name;
  std::string bytes;
  bool usable;
};

inline std::string Lines(const std::vector<std::string>& lines, const char* end = "\n") {
  std::string out;
  for (const auto& line : lines) out += line + end;
  return out;
}

inline std::vector<ChartSample> ChartSamples() {
  std::vector<ChartSample> samples;
  // A microphone maker's file: a quoted sensitivity header, then tab-separated pairs.
  samples.push_back({"sensitivity_header",
                     Lines({"\"Sens Factor =-38.2dB, SERNO: 8041733\"", "10.00\t-3.10",
                            "20.00\t-1.42", "50.00\t-0.35", "100.0\t0.00", "1000\t0.12",
                            "5000\t1.35", "10000\t2.61", "16000\t1.10", "20000\t-2.80"}),
                     true});
  samples.push_back(
      {"star_sensitivity",
       Lines({"*1000Hz\t-40.2", "20.0\t-0.85", "200.0\t-0.10", "2000.0\t0.30", "20000.0\t-1.75"}),
       true});
  samples.push_back({"star_comments_csv",
                     Lines({"* Measurement microphone calibration", "* Freq(Hz), dB, Phase(deg)",
                            "20,-1.50,12.3", "63,-0.40,4.1", "250,0.05,-0.2", "4000,0.90,-8.5",
                            "12500,2.40,-30.0", "20000,-0.70,-55.1"}),
                     true});
  samples.push_back(
      {"frd_phase",
       Lines({"# exported response", "10.000 -6.020 81.2", "31.623 -1.980 40.5",
              "100.000 -0.310 10.1", "316.228 0.020 2.0", "1000.000 0.000 0.0",
              "3162.278 0.410 -9.8", "10000.000 1.870 -40.3", "31622.777 -4.400 -90.0"}),
       true});
  samples.push_back({"semicolons",
                     Lines({"Frequency;Level;Phase", "20;-2.25;0", "100;-0.5;0", "1000;0;0",
                            "10000;1.5;0", "20000;-1.25;0"}),
                     true});
  samples.push_back(
      {"crlf", Lines({"Freq\tdB", "20\t-1.0", "1000\t0.5", "20000\t2.0"}, "\r\n"), true});
  samples.push_back(
      {"utf8_bom", "\xEF\xBB\xBF" + Lines({"20 -4.0", "2000 0.0", "20000 3.0"}), true});
  samples.push_back({"scientific",
                     Lines({"2.000000e+01 -1.500000e+00", "2.000000e+02 -2.500000e-01",
                            "2.000000E+03 0.000000E+00", "2.000000e+04 +1.250000e+00"}),
                     true});
  // Headers longer than a line piece: the 64th character of the second starts a data piece.
  samples.push_back({"long_headers",
                     Lines({"* Calibration data of the measurement microphone, measured in an "
                            "anechoic chamber on 2019-04-12",
                            std::string(63, '=') + "500 -7.5", "20 -1.0", "500 0.0", "20000 1.0"}),
                     true});
  std::string many;
  for (int i = 0; i < 2300; ++i) {
    char line[64];
    std::snprintf(line, sizeof line, "%.4f %.3f\n", 10.0 * std::pow(10.0, i / 1000.0),
                  std::sin(i / 90.0) * 4.0 + (i >= 2000 ? 50.0 : 0.0));
    many += line;
  }
  samples.push_back({"more_than_2000_points", many, true});
  samples.push_back(
      {"descending", Lines({"20000 -3.0", "10000 -1.0", "1000 0.0", "100 0.5", "20 1.5"}), true});
  samples.push_back({"decimal_comma", Lines({"20,5", "1000,0", "20000,-2"}), true});
  // Levels in dB SPL (an absolute chart) and levels no microphone has.
  samples.push_back({"absolute_levels", Lines({"20 92.5", "1000 94.0", "20000 95.1"}), false});
  samples.push_back({"huge_levels", Lines({"20 1e307", "20000 1e307"}), false});
  std::string utf16 = "\xFF\xFE";
  for (char c : Lines({"20 -1.0", "1000 0.0", "20000 2.0"})) utf16 += std::string{c, '\0'};
  samples.push_back({"utf16", utf16, false});
  samples.push_back({"template_without_data",
                     Lines({"* Microphone calibration template", "* Freq(Hz)\tdB",
                            "* enter one line per frequency"}),
                     false});
  samples.push_back({"indented_lines", Lines({"  20 -1.0", "  1000 0.0", "  20000 2.0"}), false});
  samples.push_back(
      {"not_a_number", Lines({"1000 nan", "2000 inf", "1e400 3", "3000 -1.5"}), true});
  return samples;
}

}  // namespace charttest

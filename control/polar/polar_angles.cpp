// The angles and the capture names of an off-axis series as the user gives them.
#include "control/polar/polar_angles.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <utility>

namespace quorvel {

namespace {

constexpr char kAngleRule[] =
    "The angles are whole degrees from -180 to 180: a list (0, 30, 60) or a range (0 to 180 by "
    "10)";

bool IsSeparator(char c) {
  return c == ',' || c == ' ' || c == '\t' || c == ';';
}

// The words of text, split at separators.
std::vector<std::string_view> Words(std::string_view text) {
  std::vector<std::string_view> words;
  size_t at = 0;
  while (at < text.size()) {
    while (at < text.size() && IsSeparator(text[at])) ++at;
    size_t end = at;
    while (end < text.size() && !IsSeparator(text[end])) ++end;
    if (end > at) words.push_back(text.substr(at, end - at));
    at = end;
  }
  return words;
}

bool ReadAngle(std::string_view word, int* angle) {
  if (!word.empty() && word.front() == '+') word.remove_prefix(1);
  const auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), *angle);
  return error == std::errc() && end == word.data() + word.size() && *angle >= -180 &&
         *angle <= 180;
}

Failure Refuse(std::string words) {
  return Failure{std::move(words)};
}

// Every angle once: a second 30 would overwrite the first's capture.
Result<void> CheckDistinct(const std::vector<int>& angles) {
  std::vector<int> sorted = angles;
  std::sort(sorted.begin(), sorted.end());
  const auto twice = std::adjacent_find(sorted.begin(), sorted.end());
  if (twice != sorted.end()) {
    return Refuse("The angle " + std::to_string(*twice) + " is given twice");
  }
  return {};
}

}  // namespace

Result<std::vector<int>> PolarAngleRange(int from, int to, int step) {
  if (from < -180 || from > 180 || to < -180 || to > 180 || step == 0 || step < -360 ||
      step > 360) {
    return Refuse(std::string(kAngleRule) + ", the step not 0");
  }
  const int direction = to >= from ? 1 : -1;
  const int stride = direction * (step < 0 ? -step : step);
  std::vector<int> made;
  for (int angle = from; direction * (to - angle) >= 0; angle += stride) {
    made.push_back(angle);
    if (made.size() > kMostPolarAngles) break;
  }
  if (made.back() != to) made.push_back(to);
  if (made.size() > kMostPolarAngles) return Refuse("A series of at most 361 angles");
  return made;
}

Result<std::vector<int>> ParsePolarAngles(std::string_view text) {
  const std::vector<std::string_view> words = Words(text);
  if (words.size() == 5 && (words[1] == "to" || words[1] == "TO") &&
      (words[3] == "by" || words[3] == "BY")) {
    int from = 0;
    int to = 0;
    int step = 0;
    const auto [end, error] =
        std::from_chars(words[4].data(), words[4].data() + words[4].size(), step);
    if (!ReadAngle(words[0], &from) || !ReadAngle(words[2], &to) || error != std::errc() ||
        end != words[4].data() + words[4].size()) {
      return Refuse(kAngleRule);
    }
    return PolarAngleRange(from, to, step);
  }
  if (words.empty()) return Refuse(kAngleRule);
  if (words.size() > kMostPolarAngles) return Refuse("A series of at most 361 angles");
  std::vector<int> read;
  for (const std::string_view word : words) {
    int angle = 0;
    if (!ReadAngle(word, &angle)) return Refuse(kAngleRule);
    read.push_back(angle);
  }
  if (Result<void> distinct = CheckDistinct(read); !distinct) return Failure{distinct.Message()};
  return read;
}

Result<void> CheckSeriesName(std::string_view name) {
  constexpr char kRule[] =
      "The series needs a name (no \"/\", no space at its ends) that crossover tools read back "
      "from \"NAME hor 0.wav\"";
  if (name.empty() || name.front() == ' ' || name.back() == ' ' ||
      name.find_first_of(std::string_view("/\0", 2)) != std::string_view::npos) {
    return Refuse(kRule);
  }
  const PolarName made{std::string(name), PolarPlane::kHorizontal, 0};
  const auto read = ParsePolarName(PolarFileName(made, ".wav"));
  if (!read || read->series != name) return Refuse(kRule);
  return {};
}

Result<std::vector<double>> ParsePolarFrequencies(std::string_view text) {
  std::vector<double> read;
  size_t start = 0;
  while (start <= text.size()) {
    const size_t comma = std::min(text.find(',', start), text.size());
    std::string_view item = text.substr(start, comma - start);
    while (!item.empty() && item.front() == ' ') item.remove_prefix(1);
    while (!item.empty() && item.back() == ' ') item.remove_suffix(1);
    double f = 0.0;
    const auto [end, code] = std::from_chars(item.data(), item.data() + item.size(), f);
    if (item.empty() || code != std::errc() || end != item.data() + item.size() ||
        !std::isfinite(f) || f <= 0.0 || f > 24000.0 || read.size() >= 8) {
      return Refuse("up to 8 frequencies in Hz, 0 < F <= 24000, separated by commas");
    }
    read.push_back(f);
    start = comma + 1;
  }
  return read;
}

std::string PolarCapturePath(const std::string& folder, std::string_view name, PolarPlane plane,
                             int angleDeg) {
  const std::string file = PolarFileName({std::string(name), plane, angleDeg}, ".wav");
  if (folder.empty()) return file;
  return folder.back() == '/' ? folder + file : folder + "/" + file;
}

}  // namespace quorvel

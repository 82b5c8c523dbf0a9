#include "eq/eq_apo_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <vector>

#include "base/number_text.h"

namespace quorvel {

namespace {

constexpr std::streamsize kMaxFileBytes = 1 << 20;

std::vector<std::string_view> Words(std::string_view line) {
  std::vector<std::string_view> words;
  size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
    const size_t start = i;
    while (i < line.size() && line[i] != ' ' && line[i] != '\t') ++i;
    if (i > start) words.push_back(line.substr(start, i - start));
  }
  return words;
}

// The whole word as a finite number.
bool Number(std::string_view word, double* value) {
  double v = 0.0;
  const char* end = ScanDouble(word.data(), word.data() + word.size(), &v);
  if (end != word.data() + word.size() || !std::isfinite(v)) return false;
  *value = v;
  return true;
}

bool Within(double value, double low, double high) {
  return value >= low && value <= high;
}

// "Fc F Hz Gain G dB Q Q" after the type: false with the reason.
bool ReadFilter(const std::vector<std::string_view>& w, size_t at, EqFilter* filter,
                std::string* why) {
  if (w.size() < at + 6 || w[at] != "Fc" || w[at + 2] != "Hz" || w[at + 3] != "Gain" ||
      w[at + 5] != "dB") {
    *why = "a filter reads \"Fc F Hz Gain G dB Q Q\"";
    return false;
  }
  if (!Number(w[at + 1], &filter->frequencyHz) || !Within(filter->frequencyHz, 10.0, 20000.0)) {
    *why = "the frequency must be a number from 10 to 20000 Hz";
    return false;
  }
  if (!Number(w[at + 4], &filter->gainDb) || !Within(filter->gainDb, -30.0, 30.0)) {
    *why = "the gain must be a number from -30 to 30 dB";
    return false;
  }
  const bool hasQ = w.size() >= at + 8 && w[at + 6] == "Q";
  if (filter->type != EqFilterType::kPeaking) {
    filter->q = kShelfQ;
    return w.size() == at + 6 || (hasQ && w.size() == at + 8);
  }
  if (!hasQ || w.size() != at + 8 || !Number(w[at + 7], &filter->q) ||
      !Within(filter->q, 0.05, 50.0)) {
    *why = "a peaking filter's Q must be a number from 0.05 to 50";
    return false;
  }
  return true;
}

}  // namespace

Result<EqFilterSet> ReadApoText(std::string_view text) {
  EqFilterSet read;
  bool preampSeen = false;
  int lineNumber = 0;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(pos, end - pos);
    pos = end + 1;
    ++lineNumber;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    const std::vector<std::string_view> w = Words(line);
    if (w.empty() || w[0].front() == '#') continue;
    std::string why;
    if (w[0] == "Preamp:") {
      if (preampSeen || w.size() != 3 || w[2] != "dB" || !Number(w[1], &read.preampDb) ||
          !Within(read.preampDb, -60.0, 0.0)) {
        why = "one preamp, \"Preamp: G dB\", from -60 to 0 dB";
      }
      preampSeen = true;
    } else if (w[0] == "Filter" || (w[0].size() > 6 && w[0].substr(0, 6) == "Filter")) {
      // "Filter 1: ON ..." or "Filter: ON ..."
      const size_t at = w[0].back() == ':' ? 1 : 2;
      if (w.size() < at + 2 || (at == 2 && w[1].back() != ':')) {
        why = "a filter line reads \"Filter N: ON TYPE ...\"";
      } else if (w[at] == "OFF") {
        continue;
      } else if (w[at] != "ON") {
        why = "a filter is ON or OFF";
      } else {
        EqFilter filter;
        const std::string_view type = w[at + 1];
        if (type == "PK") {
          filter.type = EqFilterType::kPeaking;
        } else if (type == "LSC" || type == "LS") {
          filter.type = EqFilterType::kLowShelf;
        } else if (type == "HSC" || type == "HS") {
          filter.type = EqFilterType::kHighShelf;
        } else {
          why = "the filter type must be PK, LSC or HSC";
        }
        if (why.empty() && ReadFilter(w, at + 2, &filter, &why)) {
          if (read.filters.size() >= static_cast<size_t>(kMaxReadFilters)) {
            why = "more than " + std::to_string(kMaxReadFilters) + " filters";
          } else {
            read.filters.push_back(filter);
          }
        } else if (why.empty()) {
          why = "a shelf reads \"Fc F Hz Gain G dB\" and may end with \"Q Q\"";
        }
      }
    } else {
      why = "neither a preamp nor a filter";
    }
    if (!why.empty()) return Failure{"line " + std::to_string(lineNumber) + ": " + why};
  }
  if (read.filters.empty() && !preampSeen) {
    return Failure{"no preamp and no filter: not an equaliser"};
  }
  return read;
}

Result<EqFilterSet> ReadApoFile(const std::string& path) {
  // Opened without waiting, and only a regular file is read: a named pipe given for the
  // equaliser must never hold the command.
  const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    return Failure{path + ": " + std::strerror(errno)};
  }
  struct stat st {};
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(fd);
    return Failure{path + ": not a regular file"};
  }
  std::string text(static_cast<size_t>(kMaxFileBytes) + 1, '\0');
  size_t got = 0;
  while (got < text.size()) {
    const ssize_t n = read(fd, text.data() + got, text.size() - got);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      close(fd);
      return Failure{path + ": could not be read"};
    }
    if (n == 0) break;
    got += static_cast<size_t>(n);
  }
  close(fd);
  text.resize(got);
  if (text.size() > static_cast<size_t>(kMaxFileBytes)) {
    return Failure{path + ": larger than 1 MB: not an equaliser"};
  }
  Result<EqFilterSet> set = ReadApoText(text);
  if (!set) return Failure{path + ": " + set.Message()};
  return set;
}

}  // namespace quorvel

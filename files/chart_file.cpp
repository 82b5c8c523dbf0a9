// Calibration charts: reading the file as text, resampling onto the curve grid, LoadChart.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <memory>

#include "base/util.h"
#include "files/chart_file.h"

namespace quorvel {

namespace {

// The level of the chart at log frequency m: the table is walked from its first entry to the
// first one above m, and the level is interpolated between that entry and the one before it.
double LevelAt(const ChartPointTable& table, double m) {
  if (table.count == 0) return 0.0;
  for (int j = 0; j < table.count; ++j) {
    const double lj = table.logFrequency[j];
    if (std::fabs(m - lj) < kSameLogFrequency) return table.level[j];
    if (lj > m) {
      if (j == 0) return table.level[0];
      const double lp = table.logFrequency[j - 1];
      const double vp = table.level[j - 1];
      if (std::fabs(m - lp) < kSameLogFrequency) return vp;
      return vp + (m - lp) * (table.level[j] - vp) / (lj - lp);
    }
  }
  return table.level[table.count - 1];
}

}  // namespace

std::string ChartTextOfBytes(const char* bytes, size_t count) {
  std::string text;
  // A UTF-16 chart, with a byte-order mark or with a NUL in every other byte: read byte by byte,
  // its first character would make a point that ends the chart, a calibration that is not there.
  const auto byte = [bytes](size_t k) { return static_cast<unsigned char>(bytes[k]); };
  if (count >= 2 &&
      ((byte(0) == 0xFF && byte(1) == 0xFE) || (byte(0) == 0xFE && byte(1) == 0xFF))) {
    return text;
  }
  if (count >= 4 && byte(0) != 0 && byte(1) == 0 && byte(2) != 0 && byte(3) == 0) return text;
  text.reserve(count);
  size_t i = 0;
  // A chart saved as "UTF-8 with BOM" keeps its first line.
  if (count >= 3 && byte(0) == 0xEF && byte(1) == 0xBB && byte(2) == 0xBF) i = 3;
  for (; i < count; ++i) {
    const char c = bytes[i];
    if (c == '\x1A' || c == '\0') break;  // Ctrl-Z and NUL end the text
    if (c == '\r') {
      // CR LF reads as LF, and so does a lone CR (the line end of older files)
      if (i + 1 < count && bytes[i + 1] == '\n') continue;
      text.push_back('\n');
      continue;
    }
    text.push_back(c);
  }
  return text;
}

bool ReadChartText(const std::string& path, std::string* text, bool* opened) {
  text->clear();
  if (opened != nullptr) *opened = false;
  const uint32_t size = CUtil::FileSizeOf(path.c_str());
  if (size == 0 || size > kMaxChartFileSize) return false;
  char mended[CUtil::kCheckFileNameSize];
  if (CUtil::CheckFileName(mended, path.c_str()) != 0) return false;

  // Opened without waiting, and only a regular file is read: a named pipe put in place of the
  // chart must never block the window.
  const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  if (opened != nullptr) *opened = true;
  struct stat st {};
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(fd);
    return false;
  }
  // At most the size measured above: a file that grows meanwhile is read no further.
  std::string bytes(size, '\0');
  size_t got = 0;
  while (got < bytes.size()) {
    const ssize_t n = read(fd, bytes.data() + got, bytes.size() - got);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    got += static_cast<size_t>(n);
  }
  close(fd);
  *text = ChartTextOfBytes(bytes.data(), got);
  return !text->empty();
}

void ResampleChart(const ChartPointTable& table, double fmin, double fmax,
                   std::span<double, kChartCurveSize> curve) {
  std::fill(curve.begin(), curve.end(), 0.0);
  const double ratio = fmax / fmin;
  for (int k = 0; k <= kChartGridSteps; ++k) {
    const double m = std::log10(fmin * std::pow(ratio, static_cast<double>(k) / kChartGridSteps));
    curve[static_cast<size_t>(k)] = LevelAt(table, m);
  }
  curve[kChartGridSteps + 1] = curve[kChartGridSteps];
  curve[kChartGridSteps + 2] = curve[kChartGridSteps];
}

bool ResampleUsableChart(const ChartPointTable& table, double fmin, double fmax,
                         std::span<double, kChartCurveSize> curve) {
  if (!(fmin > 0.0 && fmax > 0.0 && std::isfinite(fmin) && std::isfinite(fmax))) return false;
  // A template or a UTF-16 file gives no point: applied as 0 dB it would be shown as a
  // calibration that is not there.
  if (table.count == 0) return false;
  std::array<double, kChartCurveSize> resampled;
  ResampleChart(table, fmin, fmax, resampled);
  // An absolute chart (levels near 94 dB SPL) or one of 1e307 dB would push every point off the
  // graph, and levels near the limits of a double overflow in the interpolation: one rule for
  // every front end.
  if (!std::all_of(resampled.begin(), resampled.end(),
                   [](double v) { return std::fabs(v) <= kMaxChartLevelDb; })) {
    return false;
  }
  std::copy(resampled.begin(), resampled.end(), curve.begin());
  return true;
}

bool LoadChart(const std::string& path, double fmin, double fmax,
               std::span<double, kChartCurveSize> curve) {
  if (!(fmin > 0.0 && fmax > 0.0 && std::isfinite(fmin) && std::isfinite(fmax))) return false;
  std::string text;
  if (!ReadChartText(path, &text)) return false;
  const auto table = std::make_unique<ChartPointTable>();
  static_cast<void>(ParseChart(text, table.get()));
  return ResampleUsableChart(*table, fmin, fmax, curve);
}

}  // namespace quorvel

// libFuzzer target: LoadChart on arbitrary chart file contents, checked against the same text
// parsed and resampled in memory; a loaded curve holds only levels within +-60 dB.
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "files/chart_file.h"

namespace {

using Curve = std::array<double, quorvel::kChartCurveSize>;

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // LoadChart opens a path: the input is handed over as an in-memory file.
  static const int fd = memfd_create("quorvel_fuzz_chart", 0);
  static const std::string path = "/proc/self/fd/" + std::to_string(fd);
  if (fd < 0 || ftruncate(fd, 0) != 0) return 0;
  size_t done = 0;
  while (done < size) {
    const ssize_t n = pwrite(fd, data + done, size - done, static_cast<off_t>(done));
    if (n <= 0) return 0;
    done += static_cast<size_t>(n);
  }

  const auto* bytes = reinterpret_cast<const char*>(data);
  const std::string text = quorvel::ChartTextOfBytes(bytes, size);
  static const auto table = std::make_unique<quorvel::ChartPointTable>();
  const int count = quorvel::ParseChart(text, table.get());
  Check(count >= 0 && count <= quorvel::kMaxChartPoints && count == table->count);
  double low = 0.0;
  double high = 0.0;
  for (int j = 0; j < count; ++j) {
    Check(std::isfinite(table->logFrequency[j]) && std::isfinite(table->level[j]));
    low = j == 0 ? table->level[j] : std::min(low, table->level[j]);
    high = j == 0 ? table->level[j] : std::max(high, table->level[j]);
  }

  // The range comes from the input's first bytes, as any caller might pass it.
  const double fmin = size > 0 ? 1.0 + data[0] * 10.0 : 20.0;
  const double fmax = size > 1 ? 1.0 + data[1] * 100.0 : 20000.0;
  Curve expected;
  quorvel::ResampleChart(*table, fmin, fmax, expected);
  // usable: every resampled level within +-60 dB (and so finite)
  bool usable = true;
  for (const double value : expected) {
    usable = usable && std::fabs(value) <= quorvel::kMaxChartLevelDb;
  }
  Curve curve;
  curve.fill(-1234.5);
  const bool loaded = quorvel::LoadChart(path, fmin, fmax, curve);
  Check(loaded == (size <= quorvel::kMaxChartFileSize && count > 0 && usable));
  if (!loaded) {
    Check(curve[0] == -1234.5 && curve[1019] == -1234.5);
    return 0;
  }
  Check(curve == expected);
  for (const double value : curve) Check(std::isfinite(value));
  // Interpolation stays between the chart's lowest and highest level.
  const double slack = 1e-9 * (1.0 + std::max(std::fabs(low), std::fabs(high)));
  const bool moderate = std::max(std::fabs(low), std::fabs(high)) < 1e300;
  for (size_t k = 0; k < quorvel::kChartCurveEntries; ++k) {
    if (moderate) Check(curve[k] >= low - slack && curve[k] <= high + slack);
  }
  for (size_t k = quorvel::kChartCurveEntries; k < curve.size(); ++k) Check(curve[k] == 0.0);
  return 0;
}

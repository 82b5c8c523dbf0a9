#include "cli/curve_outputs.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>

#include "base/number_text.h"
#include "base/point_frequency.h"
#include "cli/cli_options.h"
#include "control/quorvel_core.h"
#include "graph/curve_image_render.h"

namespace quorvel {

std::FILE* OpenForWritingNow(const std::string& path) {
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NONBLOCK | O_CLOEXEC, 0666);
  if (fd < 0) return nullptr;
  const int flags = fcntl(fd, F_GETFL);
  std::FILE* file = nullptr;
  if (flags != -1 && fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != -1) file = fdopen(fd, "w");
  if (file == nullptr) close(fd);
  return file;
}

bool WriteCurveCsv(const std::string& path, const double* levelsDb, int count, double fmin,
                   double fmax) {
  std::FILE* file = OpenForWritingNow(path);
  if (file == nullptr) return false;
  bool ok = std::fputs("index,frequency_hz,level_db\n", file) >= 0;
  for (int k = 0; ok && k < count; ++k) {
    // "%d,%.6f,%.4f" with a decimal point whatever the locale
    const std::string line = std::to_string(k) + "," +
                             FormatFixed(PointFrequency(k, fmin, fmax), 6) + "," +
                             FormatFixed(levelsDb[k], 4) + "\n";
    ok = std::fputs(line.c_str(), file) >= 0;
  }
  if (std::fclose(file) != 0) ok = false;
  return ok;
}

bool WriteCurveOutputs(const CliOptions& options, CQuorvelCore& core, double fmin, double fmax,
                       bool needCurveOnScreen) {
  CGraphical& graph = core.Graph();
  const int points = graph.m_count.load();
  double levels[CGraphical::kCurveCapacity];
  for (int k = 0; k < points; ++k) levels[k] = graph.m_points[k].load();
  if (options.Has("csv") && !WriteCurveCsv(options.Value("csv"), levels, points, fmin, fmax)) {
    std::fprintf(stderr, "Could not write the curve to %s\n", options.Value("csv").c_str());
    return false;
  }
  for (const std::string format : {"png", "bmp"}) {
    if (!options.Has(format)) continue;
    if (needCurveOnScreen && graph.UpdateHasCurve() == 0) {
      std::fprintf(stderr, "No Response Curve on screen\n");
      return false;
    }
    if (!RenderCurveImage(graph, core.Shared(),
                          WithImageExtension(options.Value(format), format))) {
      std::fprintf(stderr, "Cannot save the file to disk...\n");
      return false;
    }
  }
  return true;
}

void PrintCurveEnds(CQuorvelCore& core, double fmin, double fmax) {
  CGraphical& graph = core.Graph();
  const int points = graph.m_count.load();
  if (points <= 0) return;
  std::printf("first point: %.6f Hz %.4f dB\nlast point: %.6f Hz %.4f dB\n",
              PointFrequency(0, fmin, fmax), graph.m_points[0].load(),
              PointFrequency(points - 1, fmin, fmax), graph.m_points[points - 1].load());
}

}  // namespace quorvel

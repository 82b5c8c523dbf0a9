#include "cli/curve_outputs.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <span>

#include "base/atomic_file.h"
#include "base/messages.h"
#include "base/number_text.h"
#include "base/point_frequency.h"
#include "base/shared_state.h"
#include "base/util.h"
#include "cli/cli_options.h"
#include "control/quorvel_core.h"
#include "control/run/failure_words.h"
#include "control/settings/spl_calibration.h"
#include "graph/curve_image_export.h"
#include "graph/graph_caption.h"
#include "graph/graphical.h"

namespace quorvel {

namespace {

std::string CurveCsvFailure(const std::string& path) {
  return "Could not write the curve to " + path;
}

void PrintFailure(const std::string& message, const std::string& failureWords) {
  std::fprintf(stderr, "%s\n", WithWords(message, failureWords).c_str());
}

}  // namespace

std::string CurveCsvText(const double* levelsDb, int count, double fmin, double fmax,
                         int gridSteps) {
  std::string text = "index,frequency_hz,level_db\n";
  for (int k = 0; k < count; ++k) {
    // "%d,%.6f,%.4f" with a decimal point whatever the locale
    const double frequency = GridFrequency(k, fmin, fmax, gridSteps);
    text += std::to_string(k) + "," + FormatFixed(frequency, 6) + "," +
            FormatFixed(levelsDb[k], 4) + "\n";
  }
  return text;
}

bool WriteCurveCsv(const std::string& path, const double* levelsDb, int count, double fmin,
                   double fmax, std::string* failureWords, const SplScale& scale) {
  std::string text = CurveCsvText(levelsDb, count, fmin, fmax);
  if (scale.spl) {
    double spl[CGraphical::kCurveCapacity];
    for (int k = 0; k < count && k < CGraphical::kCurveCapacity; ++k) {
      spl[k] = SplOfCurveLevel(levelsDb[k], scale.offsetDb);
    }
    text = CurveCsvText(spl, count, fmin, fmax);
    text.replace(0, text.find('\n'), "index,frequency_hz,level_db_spl");
  }
  const Result<void> whole = WriteWholeFile(path, text.data(), text.size());
  if (failureWords != nullptr) *failureWords = whole.Message();
  return whole.Ok();
}

namespace {

// The outputs of a curve the graph holds over fmin..fmax.
bool WriteGraphOutputs(const CliOptions& options, CGraphical& graph, double fmin, double fmax,
                       bool needCurveOnScreen, const SplScale& scale) {
  const int points = graph.m_count.load();
  double levels[CGraphical::kCurveCapacity];
  for (int k = 0; k < points; ++k) levels[k] = graph.m_points[k].load();
  bool ok = true;
  std::string failureWords;
  if (options.Has("csv") &&
      !WriteCurveCsv(options.Value("csv"), levels, points, fmin, fmax, &failureWords, scale)) {
    PrintFailure(CurveCsvFailure(options.Value("csv")), failureWords);
    ok = false;
  }
  for (const std::string format : {"png", "bmp"}) {
    if (!options.Has(format)) continue;
    if (needCurveOnScreen && graph.UpdateHasCurve() == 0) {
      std::fprintf(stderr, "No Response Curve on screen\n");
      ok = false;
      continue;
    }
    const ImageSave save =
        RenderCurveImage(graph, fmin, fmax, WithImageExtension(options.Value(format), format));
    if (!save) {
      PrintFailure(kMsgCannotSaveFile, save.failureWords);
      ok = false;
    }
  }
  return ok;
}

void PrintEnds(const double* levels, int points, double fmin, double fmax, const SplScale& scale) {
  if (points <= 0) return;
  auto level = [&](int k) {
    const double db = levels[k];
    return scale.spl ? SplOfCurveLevel(db, scale.offsetDb) : db;
  };
  const char* unit = scale.spl ? "dB SPL" : "dB";
  std::printf("first point: %.6f Hz %.4f %s\nlast point: %.6f Hz %.4f %s\n",
              PointFrequency(0, fmin, fmax), level(0), unit, PointFrequency(points - 1, fmin, fmax),
              level(points - 1), unit);
}

}  // namespace

bool WriteCurveOutputs(const CliOptions& options, CQuorvelCore& core, double fmin, double fmax,
                       bool needCurveOnScreen, const SplScale& scale) {
  return WriteGraphOutputs(options, core.Graph(), fmin, fmax, needCurveOnScreen, scale);
}

bool WriteCurveOutputs(const CliOptions& options, const Measurement& measurement,
                       bool needCurveOnScreen, const SplScale& scale) {
  // the graph as the window shows the measurement: its curve, range and caption
  auto shared = std::make_unique<CSharedState>();
  shared->m_curveFmin = shared->m_fmin = measurement.Fmin();
  shared->m_curveFmax = shared->m_fmax = measurement.Fmax();
  SetGraphCaption(*shared, measurement.Caption());
  auto graph = std::make_unique<CGraphical>(*shared);
  const std::span<const double> levels = measurement.Levels();
  const int count = std::min(measurement.PointCount(), CGraphical::kCurveCapacity);
  for (int k = 0; k < count; ++k) graph->m_points[k].store(levels[static_cast<size_t>(k)]);
  graph->m_count.store(count);
  return WriteGraphOutputs(options, *graph, measurement.Fmin(), measurement.Fmax(),
                           needCurveOnScreen, scale);
}

void PrintCurveEnds(CQuorvelCore& core, double fmin, double fmax, const SplScale& scale) {
  CGraphical& graph = core.Graph();
  const int points = std::clamp(graph.m_count.load(), 0, CGraphical::kCurveCapacity);
  double levels[CGraphical::kCurveCapacity];
  for (int k = 0; k < points; ++k) levels[k] = graph.m_points[k].load();
  PrintEnds(levels, points, fmin, fmax, scale);
}

void PrintCurveEnds(const Measurement& measurement, const SplScale& scale) {
  PrintEnds(measurement.Levels().data(), measurement.PointCount(), measurement.Fmin(),
            measurement.Fmax(), scale);
}

}  // namespace quorvel

// One paint of the workbench plot at the main window's graph size: sixteen traces of 480 points
// (solid and dashed), the grid and labels, the legend and the cursor's readout (target: < 5 ms).
#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <cmath>
#include <string>
#include <vector>

#include "graph/plot_painter.h"
#include "graph/trace_palette.h"

namespace quorvel {

namespace {

constexpr int kWidth = 1065;  // the main window's graph area [pixels]
constexpr int kHeight = 455;
constexpr int kTraces = 16;
constexpr int kPoints = 480;

struct PlotFixture {
  PlotFixture() {
    f.resize(kTraces);
    levels.resize(kTraces);
    for (int t = 0; t < kTraces; ++t) {
      for (int i = 0; i < kPoints; ++i) {
        const double hz = 20.0 * std::pow(1000.0, i / (kPoints - 1.0));
        const double rolloff = std::pow(hz / 55.0, 4);
        f[t].push_back(hz);
        levels[t].push_back(-24.0 + 0.35 * t + 10.0 * std::log10(rolloff / (1.0 + rolloff)) +
                            1.5 * std::sin(std::log(hz) * (2.0 + 0.13 * t) + t));
      }
      const PaletteLook look = TraceLookAt(t);
      traces.push_back({"Position " + std::to_string(t + 1),
                        look.colour,
                        look.style,
                        f[t],
                        levels[t],
                        {},
                        0.0,
                        true});
    }
    scene.traces = traces;
    scene.smoothing = "1/6 octave";
    scene.cursorHz = 1234.0;
    scene.referenceTrace = 0;
    view.Reset(traces);
  }
  std::vector<std::vector<double>> f;
  std::vector<std::vector<double>> levels;
  std::vector<PlotTrace> traces;
  PlotScene scene;
  CPlotView view;
};

void Paint(benchmark::State& state, double scale, bool zoomed) {
  PlotFixture fixture;
  if (zoomed) fixture.view.ApplyLevelPreset(15.0, fixture.traces);
  QImage image(static_cast<int>(kWidth * scale), static_cast<int>(kHeight * scale),
               QImage::Format_RGB32);
  image.setDevicePixelRatio(scale);
  for (auto _ : state) {
    QPainter painter(&image);
    PaintPlot(painter, QRect(0, 0, kWidth, kHeight), fixture.view, fixture.scene);
    painter.end();
    benchmark::DoNotOptimize(image.constBits());
  }
}

void BM_PaintPlot(benchmark::State& state) {
  Paint(state, 1.0, false);
}
BENCHMARK(BM_PaintPlot)->Unit(benchmark::kMillisecond);

void BM_PaintPlotZoomed15Db(benchmark::State& state) {
  Paint(state, 1.0, true);
}
BENCHMARK(BM_PaintPlotZoomed15Db)->Unit(benchmark::kMillisecond);

void BM_PaintPlotScale2(benchmark::State& state) {
  Paint(state, 2.0, false);
}
BENCHMARK(BM_PaintPlotScale2)->Unit(benchmark::kMillisecond);

}  // namespace

}  // namespace quorvel

int main(int argc, char** argv) {
  // the fonts need a QGuiApplication; no display is needed
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}

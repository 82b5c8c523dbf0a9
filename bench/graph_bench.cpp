// One full paint of the response graph at the main window's size: background, axes, grid,
// labels, marker, a complete curve and the caption (target: well under 1 ms).
#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <cmath>

#include "base/shared_state.h"
#include "graph/graph_caption.h"
#include "graph/graphical.h"

namespace quorvel {

namespace {

constexpr int kWidth = 1065;  // the main window's graph area [pixels]
constexpr int kHeight = 455;

struct GraphFixture {
  explicit GraphFixture(double fmin, double fmax) {
    shared.m_curveFmin = 20.0;
    shared.m_curveFmax = 20000.0;
    shared.m_fmin = fmin;
    shared.m_fmax = fmax;
    SetGraphCaption(shared, "Quorvel Capture");
    for (int k = 0; k <= CGraphical::kLastPoint; ++k) {
      graph.AddPoint(-30.0 + 10.0 * std::sin(k / 50.0));
    }
    graph.m_cursorIndex = 420;
    // the off-screen picture is made on the first paint
    static_cast<void>(graph.PaintGraph(kWidth, kHeight));
  }
  CSharedState shared;
  CGraphical graph{shared};
};

void BM_PaintGraph(benchmark::State& state) {
  GraphFixture fixture(20.0, 20000.0);
  for (auto _ : state) {
    benchmark::DoNotOptimize(fixture.graph.PaintGraph(kWidth, kHeight));
  }
}
BENCHMARK(BM_PaintGraph)->Unit(benchmark::kMicrosecond);

// the curve measured over 20..20000 Hz shown on 200..2000 Hz: every pixel resampled
void BM_PaintGraphResampled(benchmark::State& state) {
  GraphFixture fixture(200.0, 2000.0);
  for (auto _ : state) {
    benchmark::DoNotOptimize(fixture.graph.PaintGraph(kWidth, kHeight));
  }
}
BENCHMARK(BM_PaintGraphResampled)->Unit(benchmark::kMicrosecond);

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

// How long quorvel-cli analyze takes for a whole capture: reading the WAV file's samples,
// replaying them through the analysis (sync search included) into the curve store, and looking
// for the sweep at the points' frequencies.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "base/shared_state.h"
#include "engine/audio_engine.h"
#include "files/capture_samples.h"
#include "files/wave_file.h"
#include "graph/graphical.h"
#include "response/sweep_presence.h"

namespace quorvel {

namespace {

// A perfect loopback of the 20 Hz - 20 kHz signal: 1,044,002 samples.
std::string WriteLoopbackCapture() {
  auto audio = std::make_unique<CAudio>();
  const int length = audio->GenerateSweep(20.0, 20000.0);
  const std::string path =
      (std::filesystem::temp_directory_path() / "quorvel_analyze_bench.wav").string();
  CWave wave;
  if (!wave.CreateCaptureFile(path.c_str())) return "";
  bool written = true;
  for (int i = 0; i < length && written; ++i) written = wave.WriteSample(audio->Sweep()[i]);
  if (!wave.CloseCaptureFile(false) || !written) return "";
  return path;
}

void BM_AnalyzeCapture(benchmark::State& state) {
  const std::string path = WriteLoopbackCapture();
  if (path.empty()) {
    state.SkipWithError("could not write the capture file");
    return;
  }
  auto audio = std::make_unique<CAudio>();
  CSharedState shared;
  shared.m_curveFmin = shared.m_fmin = 20.0;
  shared.m_curveFmax = shared.m_fmax = 20000.0;
  auto graph = std::make_unique<CGraphical>(shared);
  audio->SetCurveListener(graph.get());
  int points = 0;
  for (auto _ : state) {
    graph->ClearCurve();
    shared.m_bCurveEndNotified = 0;
    uint32_t count = 0;
    int32_t channels = 0;
    int32_t rate = 0;
    int16_t* samples = nullptr;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr || !ReadCaptureSamples(file, &count, &channels, &samples, &rate)) {
      state.SkipWithError("could not read the capture file");
      break;
    }
    audio->ReplayAtFullSpeed(samples, static_cast<int>(count), 20.0);
    points = graph->m_count.load();
    if (FindSweep({samples, count}, audio->Counters().syncFrames, points, 20.0, 20000.0) !=
        SweepPresence::kFound) {
      points = 0;
    }
    std::free(samples);
  }
  state.counters["points"] = points;
  state.counters["realtime_factor"] = benchmark::Counter(
      1044002.0 / 48000.0 * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
  std::filesystem::remove(path);
}
BENCHMARK(BM_AnalyzeCapture)->Unit(benchmark::kMillisecond);

}  // namespace

}  // namespace quorvel

BENCHMARK_MAIN();

// How long the impulse-response analysis of a saved capture takes: a 21.6 s recording of the
// built-in simulated loudspeaker over 20 Hz - 20 kHz (as a capture file holds it), deconvolved,
// windowed, and read out at the FRD's 480 frequencies and the distortion table's 120 rows.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "audio/sim/loudspeaker_model.h"
#include "engine/audio_engine.h"
#include "response/impulse_analysis.h"
#include "response/response_export.h"

namespace quorvel {

namespace {

// The capture: from 1000 samples before the signal to 2000 samples into its tail.
std::vector<int16_t> SimulatedCapture() {
  auto audio = std::make_unique<CAudio>();
  const int length = audio->GenerateSweep(20.0, 20000.0);
  std::vector<int16_t> recording(static_cast<size_t>(length - 9601 + 2000 + 1000));
  CLoudspeakerModel speaker(true);
  for (size_t n = 0; n < recording.size(); ++n) {
    const long at = static_cast<long>(n) - 1000;
    const double x = at >= 0 ? audio->Sweep()[at] / 32767.0 : 0.0;
    recording[n] = static_cast<int16_t>(speaker.Process(x) * 32768.0);
  }
  return recording;
}

void Analyse(benchmark::State& state, CImpulseAnalysis& analysis,
             const std::vector<int16_t>& recording) {
  if (analysis.Analyze(recording.data(), recording.size(), 20.0, 20000.0) != ResponseStatus::kOk) {
    state.SkipWithError("no impulse response");
    return;
  }
  benchmark::DoNotOptimize(FormatFrd(analysis));
  benchmark::DoNotOptimize(analysis.DistortionRows());
}

// One analysis object kept across captures (the window's case): its FFT plans, buffers and the
// regenerated sweep are reused.
void BM_ResponseOfCapture(benchmark::State& state) {
  const std::vector<int16_t> recording = SimulatedCapture();
  CImpulseAnalysis analysis;
  for (auto _ : state) Analyse(state, analysis, recording);
  state.counters["seconds_of_audio"] = static_cast<double>(recording.size()) / 48000.0;
}
BENCHMARK(BM_ResponseOfCapture)->Unit(benchmark::kMillisecond);

// A new analysis object for each capture (quorvel-cli's case): planning and the sweep included.
void BM_ResponseOfCaptureNewObject(benchmark::State& state) {
  const std::vector<int16_t> recording = SimulatedCapture();
  for (auto _ : state) {
    CImpulseAnalysis analysis;
    Analyse(state, analysis, recording);
  }
}
BENCHMARK(BM_ResponseOfCaptureNewObject)->Unit(benchmark::kMillisecond);

}  // namespace

}  // namespace quorvel

BENCHMARK_MAIN();

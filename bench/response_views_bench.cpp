// How long the views of one capture take once it is analysed: group delay with the minimum
// phase, the step response, the decay spectrum, the spectrogram, the distortion table with its
// noise floor, and their CSV texts, for a 21.6 s recording of the built-in simulated loudspeaker
// over 20 Hz - 20 kHz.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "audio/sim/loudspeaker_model.h"
#include "engine/audio_engine.h"
#include "response/decay_spectrum.h"
#include "response/group_delay.h"
#include "response/impulse_analysis.h"
#include "response/noise_floor.h"
#include "response/response_export.h"
#include "response/spectrogram.h"
#include "response/step_response.h"

namespace quorvel {

namespace {

// The capture: from 1000 samples before the signal to 2000 samples into its tail.
const std::vector<int16_t>& Capture() {
  static const std::vector<int16_t> recording = [] {
    auto audio = std::make_unique<CAudio>();
    const int length = audio->GenerateSweep(20.0, 20000.0);
    std::vector<int16_t> samples(static_cast<size_t>(length - 9601 + 2000 + 1000));
    CLoudspeakerModel speaker(true);
    for (size_t n = 0; n < samples.size(); ++n) {
      const long at = static_cast<long>(n) - 1000;
      const double x = at >= 0 ? audio->Sweep()[at] / 32767.0 : 0.0;
      samples[n] = static_cast<int16_t>(speaker.Process(x) * 32768.0);
    }
    return samples;
  }();
  return recording;
}

bool Analyse(CImpulseAnalysis& analysis) {
  const std::vector<int16_t>& recording = Capture();
  return analysis.Analyze(recording.data(), recording.size(), 20.0, 20000.0) == ResponseStatus::kOk;
}

void GroupDelay(const CImpulseAnalysis& a) {
  benchmark::DoNotOptimize(FormatGroupDelayCsv(GroupDelayRows(a)));
}
void Step(const CImpulseAnalysis& a) {
  benchmark::DoNotOptimize(FormatStepCsv(StepResponse(a)));
}
void Decay(const CImpulseAnalysis& a) {
  benchmark::DoNotOptimize(FormatDecayCsv(CumulativeDecay(a)));
}
void Map(const CImpulseAnalysis& a) {
  benchmark::DoNotOptimize(ImpulseSpectrogram(a));
}
void Noise(const CImpulseAnalysis& a) {
  const std::vector<DistortionRow> rows = a.DistortionRows();
  benchmark::DoNotOptimize(FormatDistortionCsv(rows, DistortionNoiseDb(a, rows)));
}
void All(const CImpulseAnalysis& a) {
  GroupDelay(a);
  Step(a);
  Decay(a);
  Map(a);
  Noise(a);
}

template <void (*View)(const CImpulseAnalysis&)>
void BM_View(benchmark::State& state) {
  CImpulseAnalysis analysis;
  if (!Analyse(analysis)) {
    state.SkipWithError("no impulse response");
    return;
  }
  for (auto _ : state) View(analysis);
}

// The analysis (its object reused, as the window keeps it) and every view.
void BM_AnalysisAndViews(benchmark::State& state) {
  CImpulseAnalysis analysis;
  for (auto _ : state) {
    if (!Analyse(analysis)) {
      state.SkipWithError("no impulse response");
      return;
    }
    All(analysis);
  }
}
BENCHMARK(BM_AnalysisAndViews)->Name("AnalysisAndAllViews")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_View<All>)->Name("AllViewsOfOneCapture")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_View<GroupDelay>)->Name("GroupDelay")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_View<Step>)->Name("StepResponse")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_View<Decay>)->Name("CumulativeDecay")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_View<Map>)->Name("Spectrogram")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_View<Noise>)->Name("DistortionWithNoiseFloor")->Unit(benchmark::kMillisecond);

}  // namespace

}  // namespace quorvel

BENCHMARK_MAIN();

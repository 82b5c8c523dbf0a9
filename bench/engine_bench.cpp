// Engine speed: building the playback signal, and the per-frame cost of the analysis once the
// sync has been found (the capture thread's steady state during a measurement).
#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>

#include "engine/audio_engine.h"
#include "engine/curve_listener.h"

namespace quorvel {

namespace {

// Counts the points, as cheaply as the curve store keeps them.
class CountingListener : public ICurveListener {
 public:
  bool AddPoint(double levelDb) override {
    ++m_count;
    m_last = levelDb;
    return false;
  }
  int64_t m_count = 0;
  double m_last = 0.0;
};

void BM_GenerateSweep20To20k(benchmark::State& state) {
  auto audio = std::make_unique<CAudio>();
  for (auto _ : state) {
    benchmark::DoNotOptimize(audio->GenerateSweep(20.0, 20000.0));
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int>(audio->Sweep().size()));
}
BENCHMARK(BM_GenerateSweep20To20k)->Unit(benchmark::kMillisecond);

// Per frame after the sync: ring, record and peak stores, and every 960 frames one block's
// peak and one curve point.
void BM_PushFrameAfterSync(benchmark::State& state) {
  CountingListener listener;
  auto audio = std::make_unique<CAudio>(nullptr, &listener);
  const int length = audio->GenerateSweep(20.0, 20000.0);
  audio->ResetAnalysis();
  audio->SetSweepPlaying(true);
  int pos = 0;
  while (!audio->Counters().synced && pos < length) {
    const int32_t v = audio->Sweep()[pos++] * 65536;
    audio->PushFrame(v, v);
  }
  if (!audio->Counters().synced) {
    state.SkipWithError("the burst was not found");
    return;
  }
  // From here on the sweep itself, over and over (the detector stays off).
  const int sweepStart = pos;
  for (auto _ : state) {
    const int32_t v = audio->Sweep()[pos] * 65536;
    audio->PushFrame(v, -v);
    if (++pos == length) pos = sweepStart;
  }
  benchmark::DoNotOptimize(listener.m_count);
  state.SetItemsProcessed(state.iterations());
  state.counters["points"] = static_cast<double>(listener.m_count);
}
BENCHMARK(BM_PushFrameAfterSync);

// Per frame before the sync: the three band filters run on every sample.
void BM_PushFrameListening(benchmark::State& state) {
  auto audio = std::make_unique<CAudio>();
  audio->ResetAnalysis();
  audio->SetSweepPlaying(true);
  uint32_t noise = 12345;
  for (auto _ : state) {
    noise = noise * 1664525u + 1013904223u;
    const auto v = static_cast<int32_t>(noise >> 12);  // never loud enough to be the burst
    audio->PushFrame(v, v);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_PushFrameListening);

}  // namespace

}  // namespace quorvel

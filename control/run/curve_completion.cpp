#include "control/run/curve_completion.h"

#include "base/shared_state.h"
#include "engine/audio_engine.h"
#include "engine/point_timing.h"
#include "graph/graphical.h"

namespace quorvel {

bool TakeWholeCurveAsComplete(CAudio& audio, CGraphical& graph) {
  CSharedState& shared = graph.Shared();
  if (!CurveWholeAtSamplesEnd(graph.m_count.load(std::memory_order_acquire))) return false;
  if (shared.m_bCurveEndNotified.exchange(1, std::memory_order_acq_rel) == 0) {
    audio.TakeRecordingAsCapture();
    graph.CurveEnded();
  }
  return true;
}

bool AnalyzeLoadedSamples(CAudio& audio, CGraphical& graph, double fmin, double fmax) {
  CSharedState& shared = graph.Shared();
  shared.m_curveFmin = shared.m_fmin = fmin;
  shared.m_curveFmax = shared.m_fmax = fmax;
  graph.ClearCurve();
  const std::span<const int16_t> samples = audio.Loaded();
  audio.ReplayAtFullSpeed(samples.data(), static_cast<int>(samples.size()), fmin);
  return TakeWholeCurveAsComplete(audio, graph);
}

}  // namespace quorvel

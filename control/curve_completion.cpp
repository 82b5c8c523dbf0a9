#include "control/curve_completion.h"

#include "base/shared_state.h"
#include "engine/audio_engine.h"
#include "engine/full_speed_replay.h"
#include "graph/graphical.h"

namespace quorvel {

bool TakeWholeCurveAsComplete(CAudio& audio, CGraphical& graph) {
  CSharedState& shared = graph.Shared();
  if (graph.m_count.load(std::memory_order_acquire) <= CGraphical::kLastPoint) return false;
  if (shared.m_bCurveEndNotified.exchange(1, std::memory_order_acq_rel) == 0) {
    audio.m_capturedCount.store(audio.m_recordCount.load(std::memory_order_acquire),
                                std::memory_order_release);
    graph.CurveEnded();
  }
  return true;
}

bool AnalyzeLoadedSamples(CAudio& audio, CGraphical& graph, double fmin, double fmax) {
  CSharedState& shared = graph.Shared();
  shared.m_curveFmin = shared.m_fmin = fmin;
  shared.m_curveFmax = shared.m_fmax = fmax;
  graph.ClearCurve();
  ReplayAtFullSpeed(audio, audio.m_fileSamples, audio.m_fileSampleCount.load(), fmin);
  return TakeWholeCurveAsComplete(audio, graph);
}

}  // namespace quorvel

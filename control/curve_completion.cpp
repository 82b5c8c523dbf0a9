#include "control/curve_completion.h"

#include "base/shared_state.h"
#include "engine/audio_engine.h"
#include "graph/graphical.h"

namespace quorvel {

bool TakeWholeCurveAsComplete(CAudio& audio, CGraphical& graph) {
  CSharedState& shared = graph.Shared();
  if (graph.m_count.load(std::memory_order_acquire) <= CGraphical::kLastPoint) return false;
  if (shared.m_bCurveEndNotified.exchange(1, std::memory_order_acq_rel) == 0) {
    audio.TakeRecordingAsCapture();
    graph.m_curvesCompleted.fetch_add(1, std::memory_order_acq_rel);
  }
  return true;
}

}  // namespace quorvel

#include "calibration/calibration_flag.h"

#include <atomic>

#include "base/shared_state.h"

namespace quorvel {

void SetCalibrationFlag(CSharedState& state, bool applied) {
  state.m_bCalibrationApplied.store(applied ? 1 : 0, std::memory_order_release);
}

}  // namespace quorvel

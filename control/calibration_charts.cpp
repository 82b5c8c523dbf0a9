#include "control/calibration_charts.h"

#include "control/capture_view.h"

namespace quorvel {

void CCaptureViewCalibrationButton::SetCalibrationButton(bool applied) {
  m_view.SetCalibrationButton(applied);
}

}  // namespace quorvel

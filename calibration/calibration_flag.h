#pragma once

namespace quorvel {

struct CSharedState;

// Whether the live curve is corrected by the selected microphone's chart: the shared
// m_bCalibrationApplied, which the curve store reads for every point and the window's
// calibration button shows. Every change of it goes through here. It is on only after the
// selected chart was loaded for the coming curve's range (the capture-start step, the selection
// dialog's "OK, Apply", quorvel-cli's --calibration, a loaded capture's chart found again), and
// goes off when that fails, when the calibration button is pressed while it is on, when the
// input cannot be opened or a replay cannot start, when a replay's curve is complete, and when Load
// Audio File ends a running measurement.
void SetCalibrationFlag(CSharedState& state, bool applied);

}  // namespace quorvel

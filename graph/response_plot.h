#pragma once
// The plots of an impulse-response analysis, drawn in the response graph's style: its palette,
// its fixed-pitch fonts, its grid and its log-frequency labels (ticks on the multiples of fmin,
// longer ones and a darker line at each decade). The window's "Impulse Response and Distortion"
// window and quorvel-cli's --png both draw with these.
#include <QPainter>
#include <QRect>
#include <string>

#include "base/result.h"

namespace quorvel {

class CImpulseAnalysis;

enum class ResponsePlot {
  kImpulse,     // the linear impulse response over time [ms], its peak at 0; the gate marked
  kLevelPhase,  // level [dB, left axis] and phase [deg, right axis] over log frequency, gated
  kDistortion,  // H2 and H3 relative to the fundamental [dB] and the THD [%] over log frequency
};

// Draws one plot of the analysis into rect (logical pixels; the painter may be at any device
// pixel ratio). An analysis without a result gives the empty frame with the plot's title. The
// painter's state is restored. The program's QGuiApplication must exist (for the fonts).
// User-interface thread (or quorvel-cli's main thread).
void PaintResponsePlot(QPainter& painter, const QRect& rect, ResponsePlot plot,
                       const CImpulseAnalysis& analysis);

// The size of quorvel-cli's response picture: level and phase above the distortion, each as
// wide as the main window's graph area.
constexpr int kResponsePictureWidth = 1065;
constexpr int kResponsePlotHeight = 400;

// Writes the response picture (kLevelPhase above kDistortion, kResponsePictureWidth x
// 2 kResponsePlotHeight pixels, 2777 pixels per metre) to path as PNG, whole or not at all
// (CAtomicFile). An analysis without a result writes nothing. Fails when nothing was written,
// with kMsgCannotSaveFile and, on a second line, the path and the system's reason.
[[nodiscard]] Result<void> SaveResponsePicture(const std::string& path,
                                               const CImpulseAnalysis& analysis);

}  // namespace quorvel

#pragma once
// quorvel-cli eq's picture: the measured level, the target and the prediction with the
// equaliser above the residual (the smoothed prediction less the target over the match range),
// in the response graph's palette and fonts.
#include <string>
#include <vector>

#include "base/result.h"

class QPainter;

namespace quorvel {

struct EqPlotCurves {
  // Over the trace's frequencies (increasing), levels in dB: the measured level, the target at
  // the trace's level and the measured level with the equaliser.
  std::vector<double> frequenciesHz;
  std::vector<double> measuredDb;
  std::vector<double> targetDb;
  std::vector<double> predictedDb;
  // Over the match range: the smoothed prediction less the target. [Hz, dB]
  std::vector<double> residualHz;
  std::vector<double> residualDb;
  double matchLowHz = 0.0;
  double matchHighHz = 0.0;
  std::string title;  // of the upper plot
};

// The picture's size: two plots, each as wide as the main window's graph area.
constexpr int kEqPictureWidth = 1065;
constexpr int kEqPlotHeight = 400;

// Paints the picture at kEqPictureWidth x 2 kEqPlotHeight (the caller scales the painter to
// its own size), as the PNG shows it.
void PaintEqPicture(QPainter& painter, const EqPlotCurves& curves);

// Writes the picture (kEqPictureWidth x 2 kEqPlotHeight pixels) to path as PNG, whole or not at
// all (CAtomicFile). Fails with kMsgCannotSaveFile and, on a second line, the path and the system's
// reason. Needs the program's QGuiApplication (the fonts); main thread.
[[nodiscard]] Result<void> SaveEqPicture(const std::string& path, const EqPlotCurves& curves);

}  // namespace quorvel

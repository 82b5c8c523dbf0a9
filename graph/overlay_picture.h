#pragma once
// quorvel-cli's picture of traces drawn together: their levels over a log frequency axis, each
// in a colour of a palette that colour-blind eyes tell apart (the eight of Okabe and Ito; the
// ninth trace on dashed, the seventeenth on dotted), with a legend that names each trace and the
// smoothing. QtGui; the program's QGuiApplication must exist (for the fonts).
#include <QPainter>
#include <QRect>
#include <span>
#include <string>

#include "base/result.h"

#include "measurement/trace.h"

namespace quorvel {

constexpr int kOverlayPictureWidth = 1065;
constexpr int kOverlayPictureHeight = 600;

struct OverlayPictureOptions {
  std::string title;          // over the plot ("Level")
  double levelRangeDb = 0.0;  // the level axis' span [dB]; 0: fitted to the traces
  bool lastIsResult = false;  // the last trace (an average) drawn in black, over the others
};

// The level axis as drawn [dB]: bottom, top and the step of its lines. Fitted: the traces'
// lowest and highest levels (at most 100 dB below the highest) out to whole steps of 1, 2 or 5
// times a power of ten, 4 to 10 steps; with a span, the span below the highest level rounded up
// to its step.
struct OverlayLevelAxis {
  double bottomDb = 0.0;
  double topDb = 0.0;
  double stepDb = 0.0;
};
[[nodiscard]] OverlayLevelAxis OverlayLevels(std::span<const Trace> traces, double levelRangeDb);

// Draws the traces into rect (logical pixels); the frequency axis spans all their ranges. The
// painter's state is restored. User-interface thread (or quorvel-cli's main thread).
void PaintOverlay(QPainter& painter, const QRect& rect, std::span<const Trace> traces,
                  const OverlayPictureOptions& options);

// Writes the picture (kOverlayPictureWidth x kOverlayPictureHeight, 2777 pixels per metre) to
// path as PNG, whole or not at all. Fails when nothing was written, with kMsgCannotSaveFile and,
// on a second line, the path and the reason.
[[nodiscard]] Result<void> SaveOverlayPicture(const std::string& path,
                                              std::span<const Trace> traces,
                                              const OverlayPictureOptions& options);

}  // namespace quorvel

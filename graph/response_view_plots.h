#pragma once
// The pictures of the views of one response: the cumulative spectral decay (a waterfall) and the
// spectrogram of the impulse response, in the response graph's style.
// User-interface thread (or quorvel-cli's main thread); a QGuiApplication must exist.
#include <QPainter>
#include <QRect>
#include <string>
#include <vector>

#include "base/result.h"

namespace quorvel {

class CImpulseAnalysis;
struct DecaySpectrum;
struct GroupDelayRow;
struct Spectrogram;
struct StepRow;

// The size of quorvel-cli's --csd and --spectrogram pictures.
inline constexpr int kViewPictureWidth = 1065;
inline constexpr int kViewPictureHeight = 600;

// The waterfall: each slice's level over log frequency, the first in front, the later ones
// stepped up and to the right behind it (each hides what lies behind it), 50 dB down from the
// first slice's largest level; the slices' start times along the depth. An empty decay draws
// the frame with its title.
void PaintDecayPlot(QPainter& painter, const QRect& rect, const DecaySpectrum& decay);

// Time after the peak across, log frequency up, the level (dB re the largest) as the level
// scale's colour over 60 dB, with its bar. An empty map draws the frame with its title.
void PaintSpectrogramPlot(QPainter& painter, const QRect& rect, const Spectrogram& map);

// The group delay over log frequency [ms]: the total one (black), the minimum-phase one (blue,
// dashed) and the excess (vermillion), their scale fitted to them above fmin's first octave
// (within -5 .. 20 ms). No rows draw the frame with its title.
void PaintGroupDelayPlot(QPainter& painter, const QRect& rect,
                         const std::vector<GroupDelayRow>& rows);

// The step response over time after the peak [ms], its amplitude in the transfer's units, the
// zero line marked. No rows draw the frame with its title.
void PaintStepPlot(QPainter& painter, const QRect& rect, const std::vector<StepRow>& rows);

// The pictures of an analysis (its ungated linear response), kViewPictureWidth x
// kViewPictureHeight, written as SavePlotPicture writes (graph/plot_frame.h); an analysis
// without a result writes nothing.
[[nodiscard]] Result<void> SaveDecayPicture(const std::string& path,
                                            const CImpulseAnalysis& analysis);
[[nodiscard]] Result<void> SaveSpectrogramPicture(const std::string& path,
                                                  const CImpulseAnalysis& analysis);
// The group delay (gated as the analysis is) and the step response, likewise.
[[nodiscard]] Result<void> SaveGroupDelayPicture(const std::string& path,
                                                 const CImpulseAnalysis& analysis);
[[nodiscard]] Result<void> SaveStepPicture(const std::string& path,
                                           const CImpulseAnalysis& analysis);

}  // namespace quorvel

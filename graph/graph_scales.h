#pragma once

#include <cstdint>
#include <string>

#include "base/point_frequency.h"

// The scales of the response graph, shared by the drawing, the marker and the exports.
// Pixel heights are measured upward from the bottom edge of the graph area; a height h is drawn
// at row H - h, H being the area's height. The plot is a fixed 1000 pixels wide (x = 33..1033)
// and 427 pixels high whatever the size of the area.

namespace quorvel {

constexpr int kPlotLeft = 33;       // x of the y axis and of the lowest displayed frequency
constexpr int kPlotRight = 1033;    // x of the highest displayed frequency
constexpr int kPlotWidth = 1000;    // [pixels], also the number of point steps
constexpr int kAxisHeight = 22;     // height of the x axis [pixels]
constexpr int kPlotTop = 427;       // height of the top of the grid [pixels]
constexpr int kZeroDbHeight = 426;  // height of a 0 dB level [pixels]
constexpr double kPixelsPerDb = 4.5;
constexpr int kLevelRowCount = 46;      // grid rows at heights 22 + 9i, i = 0..45
constexpr int kLevelRowSpacing = 9;     // [pixels]
constexpr int kMaxFrequencyTicks = 40;  // four decades of ten ticks
constexpr int kMaxDecadeLines = 4;

// x rounded half away from zero to an int; NaN gives 0 and values beyond the int range are
// clamped.
[[nodiscard]] int RoundHalfAway(double x);

// x of frequency f on a display of fmin..fmax:
// 33 + trunc(log10(f/fmin) * 1000 / log10(fmax/fmin) + 0.5).
[[nodiscard]] int FrequencyToX(double f, double fmin, double fmax);

// x at which point k of the displayed curve is drawn: 32 + k.
[[nodiscard]] constexpr int PointToX(int k) {
  return 32 + k;
}

// Height of a level: 426 + round(4.5 * v), halves away from zero, never below the x axis (22);
// a level that is not a number sits at the x axis.
[[nodiscard]] int LevelToHeight(double levelDb);

// Height of a level without the floor at the x axis (the marker tests it against 22).
[[nodiscard]] int LevelToHeightUnclamped(double levelDb);

// True when the display fmin..fmax spans about one decade or more and fmin is at least
// 0.01 Hz: only then are the axes, grid and labels drawn.
[[nodiscard]] bool GridIsDrawable(double fmin, double fmax);

// The point of a curve measured over curveFmin..curveFmax that pixel step k (0..999) of a
// display of fmin..fmax shows: round(log10(f/curveFmin) * 1000 / log10(curveFmax/curveFmin))
// with f = fmin*(fmax/fmin)^(k/1000), halves away from zero, clamped to 0..1000.
[[nodiscard]] int DisplayedCurveIndex(int k, double fmin, double fmax, double curveFmin,
                                      double curveFmax);

// Frequency the marker at point c reads on a display of fmin..fmax, rounded for its label:
// RoundForLabel(fmin*(fmax/fmin)^((c+1)/1000)) [Hz].
[[nodiscard]] double MarkerFrequency(int c, double fmin, double fmax);

// One tick of the frequency axis.
struct FrequencyTick {
  double frequency = 0.0;    // [Hz]
  int x = 0;                 // [pixels]
  bool decadeStart = false;  // a start of a decade (Fmin, 10 Fmin, ...): long tick, no grid line
  bool labelled = false;     // carries a label
};

// The frequency ticks of a display of fmin..fmax, in drawing order: for each decade start
// d = fmin, 10 fmin, ... (at most four, none above fmax) the tick of d, then its multiples
// d*2 .. d*10 up to fmax. Multiples 2..5, 7 and 10 carry labels. Returns the count written.
[[nodiscard]] int BuildFrequencyTicks(double fmin, double fmax,
                                      FrequencyTick (&ticks)[kMaxFrequencyTicks]);

// x of the decade lines of a display of fmin..fmax: 10 fmin, 100 fmin, ... up to fmax (at most
// four). Returns the count written.
[[nodiscard]] int BuildDecadeLines(double fmin, double fmax, int (&xs)[kMaxDecadeLines]);

// Height of grid row i (0..45): 22 + 9i [pixels]. Every third row is a major row with a label.
[[nodiscard]] constexpr int LevelRowHeight(int i) {
  return kAxisHeight + kLevelRowSpacing * i;
}

// Label text of the level axis for value v: FormatAxisNumber(8, RoundForLabel(v)).
void FormatLevelLabel(char* out, int outBytes, double levelDb);

// The marker's two texts, "%g Hz" of its frequency and "%0.2f dB" of its level, with a decimal
// point whatever the locale.
[[nodiscard]] std::string MarkerFrequencyText(double frequencyHz);
[[nodiscard]] std::string MarkerLevelText(double levelDb);

}  // namespace quorvel

#pragma once
// What the plots of a response share, drawn in the response graph's style: its palette, its
// fixed-pitch fonts, its grid and its log-frequency labels (ticks on the multiples of fmin,
// longer ones and a darker line at each decade), and the picture files made of them.
// User-interface thread (or quorvel-cli's main thread); a QGuiApplication must exist.
#include <QColor>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <QPen>
#include <QRect>
#include <QRectF>
#include <cmath>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "base/result.h"

namespace quorvel {

// Room around a plot area for the title, the axis labels and the legend [logical pixels].
inline constexpr int kPlotMarginLeft = 52;
inline constexpr int kPlotMarginRight = 52;
inline constexpr int kPlotMarginTop = 26;
inline constexpr int kPlotMarginBottom = 26;
inline constexpr int kColorPlotLabel = 17;  // 64, 64, 64: axis labels

enum class Align { kLeft, kCenter, kRight };

struct PlotFonts {
  QFont small;   // axis labels and legend: cell 14, advance 6, as the graph's labels
  QFont medium;  // the title: cell 16, advance 8, as the graph's caption
};

// The graph's label and caption fonts.
[[nodiscard]] PlotFonts MakePlotFonts();

// A legend entry: its text, drawn after a short stretch of its curve's pen.
struct LegendEntry {
  std::string text;
  QPen pen;
  QColor textColour = QColor();  // invalid: the pen's
};

// Colour i of the graph's palette, and a solid one-pixel pen of it.
[[nodiscard]] QColor PlotColour(int index);
[[nodiscard]] QPen PlotPen(int index);
[[nodiscard]] QPen PlotPen(const QColor& colour, double width = 1.0,
                           Qt::PenStyle style = Qt::SolidLine);

void PlotText(QPainter& painter, const QFont& font, const QColor& colour, const std::string& text,
              double x, double baseline, Align align);
// Text turned a quarter left, read bottom up, its middle at (x, middleY).
void PlotUpwardText(QPainter& painter, const QFont& font, const QColor& colour,
                    const std::string& text, double x, double middleY);

// The plot's frame: background, title and (withLegend) the legend from the right; returns the
// plot area.
QRectF DrawPlotFrame(QPainter& painter, const QRect& rect, const PlotFonts& fonts,
                     const std::string& title, const std::vector<LegendEntry>& legend,
                     bool withLegend);

// Horizontal grid lines at `divisions` equal steps (a lighter one half-way), the left ticks,
// and the labels of the left and right scales, bottom up.
void DrawPlotRows(QPainter& painter, const QRectF& plot, const PlotFonts& fonts, int divisions,
                  const std::vector<std::string>& left, const std::vector<std::string>& right);

// The axes in black over the grid, and the frame of the plot area.
void DrawPlotAxes(QPainter& painter, const QRectF& plot);

[[nodiscard]] double FrequencyX(const QRectF& plot, double f, double fmin, double fmax);
// The frequency of column x of the plot area.
[[nodiscard]] double ColumnFrequency(const QRectF& plot, double x, double fmin, double fmax);

// The log-frequency axis along the bottom of the plot area, as the graph draws it (a narrow
// plot leaves out a label that would touch the one before), "Hz" after it.
void DrawFrequencyAxis(QPainter& painter, const QRectF& plot, const PlotFonts& fonts, double fmin,
                       double fmax);

// A curve through the value of every device column across the plot area; a value that is not
// finite, or `breakAt` away from the one before, lifts the pen.
void DrawFrequencyCurve(QPainter& painter, const QRectF& plot, const QPen& pen, double fmin,
                        double fmax, const std::function<double(double)>& value,
                        const std::function<double(double)>& toY, double breakAt = HUGE_VAL);

// The labels bottom + i step (i = 0 .. divisions), each followed by unit.
[[nodiscard]] std::vector<std::string> AxisLabels(double bottom, double step, int divisions,
                                                  const char* unit);

// A step of 1, 2 or 5 times a power of ten, at least `least` (above 0).
[[nodiscard]] double NiceStep(double least);

// A colour bar of the level scale (graph/plot_colours.h) in rect, `bottomDb` at its foot and
// `topDb` at its head, labelled every `stepDb` on its right.
void DrawLevelBar(QPainter& painter, const QRectF& rect, const PlotFonts& fonts, double bottomDb,
                  double topDb, double stepDb);

// Writes image to path as PNG, whole or not at all (CAtomicFile). Fails when nothing was
// written, with words naming the path and the reason.
[[nodiscard]] Result<void> WritePngWhole(const QImage& image, const std::string& path);

// Draws width x height logical pixels with `paint` and writes them to path as PNG (2777
// pixels per metre, as the curve pictures), whole or not at all (CAtomicFile). Fails when
// nothing was written, with "Cannot save the file to disk..." and, on a second line, the path
// and the system's reason.
[[nodiscard]] Result<void> SavePlotPicture(const std::string& path, int width, int height,
                                           const std::function<void(QPainter&)>& paint);

}  // namespace quorvel

// The plots of an impulse-response analysis in the response graph's style, and quorvel-cli's
// response picture.
#include "graph/response_plot.h"

#include <QBuffer>
#include <QByteArray>
#include <QFontMetrics>
#include <QImage>
#include <QPointF>
#include <QPolygonF>
#include <algorithm>
#include <cmath>
#include <vector>

#include "base/atomic_file.h"
#include "base/number_text.h"
#include "graph/graph_resources.h"
#include "graph/graph_scales.h"
#include "graph/graphical.h"
#include "response/impulse_analysis.h"

namespace quorvel {

namespace {

// Room around the plot area for the title, the axis labels and the legend [logical pixels].
constexpr int kMarginLeft = 52;
constexpr int kMarginRight = 52;
constexpr int kMarginTop = 26;
constexpr int kMarginBottom = 26;
constexpr int kRateKhz = CImpulseAnalysis::kRate / 1000;  // samples per millisecond
constexpr double kPhaseSpanDeg = 360.0;
constexpr int kLevelDivisions = 6;       // 10 dB and 60 degrees each
constexpr double kLevelSpanDb = 60.0;    // shown below the next 10 dB above the highest level
constexpr int kDistortionDivisions = 5;  // 20 dB each
constexpr double kDistortionFloorDb = -100.0;
constexpr double kImpulseStartMs = -5.0;
constexpr double kImpulseEndMs = 20.0;  // unless the gate reaches further
constexpr int kPngDotsPerMetre = 2777;  // as the curve pictures carry it
constexpr char kMsgCannotSave[] = "Cannot save the file to disk...";
constexpr int kColorLabel = 17;  // 64, 64, 64: axis labels
constexpr int kColorThd = 11;    // 160, 60, 26: the THD curve

enum class Align { kLeft, kCenter, kRight };

struct Fonts {
  QFont small;   // axis labels and legend: cell 14, advance 6, as the graph's labels
  QFont medium;  // the title: cell 16, advance 8, as the graph's caption
};

QColor Colour(int index) {
  return QColor::fromRgb(PaletteColor(index));
}

QPen Pen(int index) {
  return QPen(Colour(index), 1, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin);
}

void Text(QPainter& painter, const QFont& font, int colour, const std::string& text, double x,
          double baseline, Align align) {
  const QString q = QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
  double left = x;
  if (align != Align::kLeft) {
    const double width = QFontMetrics(font).horizontalAdvance(q);
    left -= align == Align::kCenter ? width / 2.0 : width;
  }
  painter.setFont(font);
  painter.setPen(Pen(colour));
  painter.drawText(QPointF(left, baseline), q);
}

// The plot's frame: background, title and legend; returns the plot area.
QRectF DrawFrame(QPainter& painter, const QRect& rect, const Fonts& fonts, const char* title,
                 const std::vector<std::pair<std::string, int>>& legend, bool withLegend) {
  painter.setPen(Pen(kColorFrame));
  painter.setBrush(Colour(kColorBackground));
  painter.drawRect(QRectF(rect).adjusted(0.5, 0.5, -0.5, -0.5));
  painter.setBrush(Qt::NoBrush);
  const double titleRow = rect.top() + 18.0;
  Text(painter, fonts.medium, kColorCaption, title, rect.left() + kMarginLeft, titleRow,
       Align::kLeft);
  // the legend from the right, each entry in its curve's colour, when there are curves
  double x = rect.right() - kMarginRight;
  for (auto it = legend.rbegin(); withLegend && it != legend.rend(); ++it) {
    Text(painter, fonts.small, it->second, it->first, x, titleRow, Align::kRight);
    x -= QFontMetrics(fonts.small).horizontalAdvance(QString::fromLatin1(it->first.c_str())) + 18;
  }
  return QRectF(rect).adjusted(kMarginLeft, kMarginTop, -kMarginRight, -kMarginBottom);
}

// Horizontal grid lines at `divisions` equal steps (a lighter one half-way), the axes, and the
// labels of the left and right scales.
void DrawRows(QPainter& painter, const QRectF& plot, const Fonts& fonts, int divisions,
              const std::vector<std::string>& left, const std::vector<std::string>& right) {
  const double step = plot.height() / divisions;
  for (int i = 0; i <= divisions; ++i) {
    const double y = plot.bottom() - i * step;
    if (i < divisions) {
      painter.setPen(Pen(kColorMinorGrid));
      painter.drawLine(QPointF(plot.left(), y - step / 2), QPointF(plot.right(), y - step / 2));
    }
    if (i > 0 && i < divisions) {
      painter.setPen(Pen(kColorMajorGrid));
      painter.drawLine(QPointF(plot.left(), y), QPointF(plot.right(), y));
    }
    painter.setPen(Pen(kColorFrame));
    painter.drawLine(QPointF(plot.left() - 5, y), QPointF(plot.left(), y));
    const double baseline = y + 4;
    if (static_cast<size_t>(i) < left.size()) {
      Text(painter, fonts.small, kColorLabel, left[static_cast<size_t>(i)], plot.left() - 7,
           baseline, Align::kRight);
    }
    if (static_cast<size_t>(i) < right.size()) {
      Text(painter, fonts.small, kColorLabel, right[static_cast<size_t>(i)], plot.right() + 7,
           baseline, Align::kLeft);
    }
  }
}

// The axes in black over the grid, and the frame of the plot area.
void DrawAxes(QPainter& painter, const QRectF& plot) {
  painter.setPen(Pen(kColorFrame));
  painter.drawRect(plot);
  painter.setPen(QPen(Qt::black, 1));
  painter.drawLine(plot.bottomLeft(), plot.bottomRight());
  painter.drawLine(plot.bottomLeft(), plot.topLeft());
}

double FrequencyX(const QRectF& plot, double f, double fmin, double fmax) {
  return plot.left() + std::log(f / fmin) / std::log(fmax / fmin) * plot.width();
}

// The frequency of column x of the plot area.
double ColumnFrequency(const QRectF& plot, double x, double fmin, double fmax) {
  return fmin * std::pow(fmax / fmin, (x - plot.left()) / plot.width());
}

// The log-frequency axis as the graph draws it: a tick on every multiple of each decade's start
// (fmin, 10 fmin, ...), a long one and a decade line at each start, a lighter line at the
// others, labels on the multiples 1..5, 7 and 10.
void DrawFrequencyAxis(QPainter& painter, const QRectF& plot, const Fonts& fonts, double fmin,
                       double fmax) {
  FrequencyTick ticks[kMaxFrequencyTicks];
  const int count = BuildFrequencyTicks(fmin, fmax, ticks);
  double labelEnd = -HUGE_VAL;
  for (int i = 0; i < count; ++i) {
    const double x = FrequencyX(plot, ticks[i].frequency, fmin, fmax);
    if (x > plot.left() + 0.5) {
      painter.setPen(Pen(ticks[i].decadeStart ? kColorMajorGrid : kColorMinorGrid));
      painter.drawLine(QPointF(x, plot.top()), QPointF(x, plot.bottom()));
    }
    painter.setPen(QPen(Qt::black, 1));
    painter.drawLine(QPointF(x, plot.bottom()),
                     QPointF(x, plot.bottom() + (ticks[i].decadeStart ? 6 : 3)));
    if (!ticks[i].labelled) continue;
    // a narrow plot leaves out a label that would touch the one before
    const std::string label = CGraphical::FormatAxisNumber(6, ticks[i].frequency);
    const double half =
        QFontMetrics(fonts.small).horizontalAdvance(QString::fromLatin1(label)) / 2.0;
    if (x - half < labelEnd + 4.0) continue;
    Text(painter, fonts.small, kColorLabel, label, x, plot.bottom() + 17, Align::kCenter);
    labelEnd = x + half;
  }
  Text(painter, fonts.small, kColorLabel, "Hz", plot.right() + 21, plot.bottom() + 17,
       Align::kLeft);
}

// A curve through the value of every device column across the plot area; a value that is not
// finite, or `breakAt` away from the one before, lifts the pen.
template <typename ValueToY, typename Value>
void DrawFrequencyCurve(QPainter& painter, const QRectF& plot, int colour, double fmin, double fmax,
                        const Value& value, const ValueToY& toY, double breakAt = HUGE_VAL) {
  painter.setPen(Pen(colour));
  QPolygonF line;
  double previous = NAN;
  const auto flush = [&] {
    if (line.size() > 1) painter.drawPolyline(line);
    line.clear();
  };
  const int columns = static_cast<int>(plot.width());
  for (int i = 0; i <= columns; ++i) {
    const double x = plot.left() + i;
    const double v = value(ColumnFrequency(plot, x, fmin, fmax));
    if (!std::isfinite(v) || std::fabs(v - previous) > breakAt) flush();
    previous = v;
    if (std::isfinite(v)) line << QPointF(x, toY(v));
  }
  flush();
}

std::vector<std::string> Labels(double bottom, double step, int divisions, const char* unit) {
  std::vector<std::string> labels;
  for (int i = 0; i <= divisions; ++i) {
    labels.push_back(CGraphical::FormatAxisNumber(6, bottom + i * step) + unit);
  }
  return labels;
}

void PaintLevelPhase(QPainter& painter, const QRect& rect, const Fonts& fonts,
                     const CImpulseAnalysis& analysis) {
  const double gate = analysis.HasResult() ? analysis.AppliedGateMs() : 0.0;
  const std::string title = gate > 0.0 ? "Level and phase, gated " + FormatGeneral(gate, 4) + " ms"
                                       : std::string("Level and phase");
  const QRectF plot =
      DrawFrame(painter, rect, fonts, title.c_str(),
                {{"level dB", kColorCurve}, {"phase deg", kColorMarker}}, analysis.HasResult());
  if (!analysis.HasResult() || plot.width() < 10 || plot.height() < 10) return;
  const double fmin = analysis.Fmin();
  const double fmax = analysis.Fmax();
  // the scale: 60 dB below the next 10 dB above the highest level
  double highest = -HUGE_VAL;
  for (int i = 0; i <= 200; ++i) {
    const double level = analysis.ResponseAt(fmin * std::pow(fmax / fmin, i / 200.0)).levelDb;
    if (std::isfinite(level)) highest = std::max(highest, level);
  }
  const double top = std::isfinite(highest) ? 10.0 * std::ceil(highest / 10.0) : 0.0;
  const double bottom = top - kLevelSpanDb;
  DrawRows(painter, plot, fonts, kLevelDivisions,
           Labels(bottom, kLevelSpanDb / kLevelDivisions, kLevelDivisions, ""),
           Labels(-180.0, kPhaseSpanDeg / kLevelDivisions, kLevelDivisions, ""));
  DrawFrequencyAxis(painter, plot, fonts, fmin, fmax);
  painter.save();
  painter.setClipRect(plot);
  const auto levelY = [&](double db) {
    return plot.bottom() - (db - bottom) / kLevelSpanDb * plot.height();
  };
  const auto phaseY = [&](double deg) {
    return plot.bottom() - (deg + 180.0) / kPhaseSpanDeg * plot.height();
  };
  // the phase lifts the pen where it wraps from one end of its scale to the other
  DrawFrequencyCurve(
      painter, plot, kColorMarker, fmin, fmax,
      [&](double f) { return analysis.ResponseAt(f).phaseDeg; }, phaseY, 180.0);
  DrawFrequencyCurve(
      painter, plot, kColorCurve, fmin, fmax,
      [&](double f) { return analysis.ResponseAt(f).levelDb; }, levelY);
  painter.restore();
  DrawAxes(painter, plot);
}

void PaintDistortion(QPainter& painter, const QRect& rect, const Fonts& fonts,
                     const CImpulseAnalysis& analysis) {
  const QRectF plot =
      DrawFrame(painter, rect, fonts, "Harmonic distortion",
                {{"H2 dB", kColorCurve}, {"H3 dB", kColorMarker}, {"THD %", kColorThd}},
                analysis.HasResult());
  if (!analysis.HasResult() || plot.width() < 10 || plot.height() < 10) return;
  const double fmin = analysis.Fmin();
  const double fmax = analysis.Fmax();
  const double step = -kDistortionFloorDb / kDistortionDivisions;
  // the THD shares the dB scale: 100 % at 0 dB, 10 % at -20 dB, ...
  std::vector<std::string> percent;
  for (int i = 0; i <= kDistortionDivisions; ++i) {
    percent.push_back(
        FormatGeneral(100.0 * std::pow(10.0, (kDistortionFloorDb + i * step) / 20.0), 3) + "%");
  }
  DrawRows(painter, plot, fonts, kDistortionDivisions,
           Labels(kDistortionFloorDb, step, kDistortionDivisions, ""), percent);
  DrawFrequencyAxis(painter, plot, fonts, fmin, fmax);
  painter.save();
  painter.setClipRect(plot);
  const auto dbY = [&](double db) {
    return plot.bottom() - (db - kDistortionFloorDb) / -kDistortionFloorDb * plot.height();
  };
  const auto relative = [&](int k) {
    return
        [&analysis, k](double f) { return analysis.HarmonicDb(k, f) - analysis.HarmonicDb(1, f); };
  };
  const auto thdDb = [&](double f) {
    const double fundamental = analysis.HarmonicDb(1, f);
    double power = 0.0;
    bool any = false;
    for (int k = 2; k <= CImpulseAnalysis::kMaxHarmonic; ++k) {
      const double h = analysis.HarmonicDb(k, f);
      if (!std::isfinite(h)) continue;
      power += std::pow(10.0, (h - fundamental) / 10.0);
      any = true;
    }
    return any ? 10.0 * std::log10(power) : NAN;
  };
  DrawFrequencyCurve(painter, plot, kColorThd, fmin, fmax, thdDb, dbY);
  DrawFrequencyCurve(painter, plot, kColorMarker, fmin, fmax, relative(3), dbY);
  DrawFrequencyCurve(painter, plot, kColorCurve, fmin, fmax, relative(2), dbY);
  painter.restore();
  DrawAxes(painter, plot);
}

// A step of 1, 2 or 5 times a power of ten, at least `least`.
double NiceStep(double least) {
  const double power = std::pow(10.0, std::floor(std::log10(least)));
  for (const double m : {1.0, 2.0, 5.0, 10.0}) {
    if (m * power >= least) return m * power;
  }
  return 10.0 * power;
}

void PaintImpulse(QPainter& painter, const QRect& rect, const Fonts& fonts,
                  const CImpulseAnalysis& analysis) {
  const double gate = analysis.HasResult() ? analysis.AppliedGateMs() : 0.0;
  const QRectF plot =
      DrawFrame(painter, rect, fonts, "Impulse response",
                gate > 0.0 ? std::vector<std::pair<std::string, int>>{{"response", kColorCurve},
                                                                      {"gate", kColorMarker}}
                           : std::vector<std::pair<std::string, int>>{{"response", kColorCurve}},
                analysis.HasResult());
  if (!analysis.HasResult() || plot.width() < 10 || plot.height() < 10) return;
  // -5 .. 20 ms, or a quarter beyond the gate
  const double startMs = kImpulseStartMs;
  const double endMs = std::max(kImpulseEndMs, NiceStep(gate * 1.25));
  const int first = static_cast<int>(std::floor(startMs * kRateKhz));
  const int count = static_cast<int>(std::ceil((endMs - startMs) * kRateKhz)) + 1;
  const std::vector<float> samples = analysis.ImpulseSamples(first, count);
  double peak = 0.0;
  for (const float s : samples) peak = std::max(peak, std::fabs(static_cast<double>(s)));
  // a symmetric scale of four rows over the largest magnitude
  const double half = peak > 0.0 ? NiceStep(peak * 0.55) : 0.5;
  std::vector<std::string> labels;
  for (int i = -2; i <= 2; ++i) labels.push_back(FormatGeneral(i * half, 3));
  DrawRows(painter, plot, fonts, 4, labels, {});
  const auto timeX = [&](double ms) {
    return plot.left() + (ms - startMs) / (endMs - startMs) * plot.width();
  };
  // the time axis: a line and a label every 5 ms (or every 1-2-5 step giving at most 12)
  const double tick = NiceStep((endMs - startMs) / 12.0);
  for (double ms = std::ceil(startMs / tick) * tick; ms <= endMs + 1e-9; ms += tick) {
    const double x = timeX(ms);
    if (x > plot.left() + 0.5) {
      painter.setPen(Pen(std::fabs(ms) < 1e-9 ? kColorMajorGrid : kColorMinorGrid));
      painter.drawLine(QPointF(x, plot.top()), QPointF(x, plot.bottom()));
    }
    painter.setPen(QPen(Qt::black, 1));
    painter.drawLine(QPointF(x, plot.bottom()), QPointF(x, plot.bottom() + 3));
    Text(painter, fonts.small, kColorLabel,
         CGraphical::FormatAxisNumber(6, std::round(ms / tick) * tick), x, plot.bottom() + 17,
         Align::kCenter);
  }
  Text(painter, fonts.small, kColorLabel, "ms", plot.right() + 21, plot.bottom() + 17,
       Align::kLeft);
  painter.save();
  painter.setClipRect(plot);
  if (gate > 0.0) {
    // what the gate keeps: from 1 ms before the peak to the gate's length after it
    painter.setPen(QPen(Colour(kColorMarker), 1, Qt::DashLine));
    for (const double ms : {-CImpulseAnalysis::kPreGateMs, gate}) {
      painter.drawLine(QPointF(timeX(ms), plot.top()), QPointF(timeX(ms), plot.bottom()));
    }
  }
  QPolygonF line;
  for (int i = 0; i < count && static_cast<size_t>(i) < samples.size(); ++i) {
    const double ms = static_cast<double>(first + i) / kRateKhz;
    const double y = plot.center().y() - static_cast<double>(samples[static_cast<size_t>(i)]) /
                                             (2 * half) * (plot.height() / 2);
    line << QPointF(timeX(ms), y);
  }
  painter.setPen(Pen(kColorCurve));
  painter.drawPolyline(line);
  painter.restore();
  DrawAxes(painter, plot);
}

}  // namespace

void PaintResponsePlot(QPainter& painter, const QRect& rect, ResponsePlot plot,
                       const CImpulseAnalysis& analysis) {
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing, false);
  painter.setRenderHint(QPainter::TextAntialiasing, false);
  painter.setClipRect(rect);
  const Fonts fonts{MakeCellFont(kGraphFace, 14, 6, 100), MakeCellFont(kGraphFace, 16, 8, 100)};
  switch (plot) {
    case ResponsePlot::kImpulse:
      PaintImpulse(painter, rect, fonts, analysis);
      break;
    case ResponsePlot::kLevelPhase:
      PaintLevelPhase(painter, rect, fonts, analysis);
      break;
    case ResponsePlot::kDistortion:
      PaintDistortion(painter, rect, fonts, analysis);
      break;
  }
  painter.restore();
}

bool SaveResponsePicture(const std::string& path, const CImpulseAnalysis& analysis,
                         std::string* failureWords) {
  const auto fail = [&](const std::string& words) {
    if (failureWords != nullptr) {
      *failureWords = words.empty() ? std::string(kMsgCannotSave) : kMsgCannotSave + ("\n" + words);
    }
    return false;
  };
  if (!analysis.HasResult()) return fail("");  // nothing to show: no empty picture stands in
  QImage image(kResponsePictureWidth, 2 * kResponsePlotHeight, QImage::Format_RGB32);
  if (image.isNull()) return fail(path + ": the picture cannot be made");
  image.setDotsPerMeterX(kPngDotsPerMetre);
  image.setDotsPerMeterY(kPngDotsPerMetre);
  {
    QPainter painter(&image);
    PaintResponsePlot(painter, QRect(0, 0, kResponsePictureWidth, kResponsePlotHeight),
                      ResponsePlot::kLevelPhase, analysis);
    PaintResponsePlot(painter,
                      QRect(0, kResponsePlotHeight, kResponsePictureWidth, kResponsePlotHeight),
                      ResponsePlot::kDistortion, analysis);
  }
  // encoded in memory, then written whole: a save straight to a file reports no failed write
  QByteArray encoded;
  QBuffer buffer(&encoded);
  if (!buffer.open(QIODevice::WriteOnly) || !image.save(&buffer, "PNG")) {
    return fail(path + ": the picture cannot be encoded as PNG");
  }
  std::string words;
  if (!WriteWholeFile(path, encoded.constData(), static_cast<size_t>(encoded.size()), &words)) {
    return fail(words);
  }
  return true;
}

}  // namespace quorvel

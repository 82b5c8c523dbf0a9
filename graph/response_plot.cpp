// The plots of an impulse-response analysis in the response graph's style, and quorvel-cli's
// response picture.
#include "graph/response_plot.h"

#include <QPointF>
#include <QPolygonF>
#include <algorithm>
#include <cmath>
#include <vector>

#include <functional>

#include "base/messages.h"
#include "base/number_text.h"
#include "graph/graph_resources.h"
#include "graph/graphical.h"
#include "graph/plot_colours.h"
#include "graph/plot_frame.h"
#include "response/gate_validity.h"
#include "response/impulse_analysis.h"
#include "response/noise_floor.h"

namespace quorvel {

namespace {

constexpr int kRateKhz = CImpulseAnalysis::kRate / 1000;  // samples per millisecond
constexpr double kPhaseSpanDeg = 360.0;
constexpr int kLevelDivisions = 6;       // 10 dB and 60 degrees each
constexpr double kLevelSpanDb = 60.0;    // shown below the next 10 dB above the highest level
constexpr int kDistortionDivisions = 5;  // 20 dB each
constexpr double kDistortionFloorDb = -100.0;
constexpr double kImpulseStartMs = -5.0;
constexpr double kImpulseEndMs = 20.0;  // unless the gate reaches further

using Fonts = PlotFonts;

void PaintLevelPhase(QPainter& painter, const QRect& rect, const Fonts& fonts,
                     const CImpulseAnalysis& analysis) {
  const double gate = analysis.HasResult() ? analysis.AppliedGateMs() : 0.0;
  const std::string title = gate > 0.0 ? "Level and phase, gated " + FormatGeneral(gate, 4) + " ms"
                                       : std::string("Level and phase");
  // levels on a scale of their own (dB SPL) say so
  const char* levelLabel = analysis.LevelScaleWords().empty() ? "level dB" : "level dB SPL";
  const QRectF plot =
      DrawPlotFrame(painter, rect, fonts, title,
                    {{levelLabel, PlotPen(kColorCurve)}, {"phase deg", PlotPen(kColorMarker)}},
                    analysis.HasResult());
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
  // below where the gate is valid the band is shaded and named
  const double validFrom = GateValidFromHz(gate);
  const double shadeEnd =
      validFrom > fmin ? FrequencyX(plot, std::min(validFrom, fmax), fmin, fmax) : plot.left();
  if (shadeEnd > plot.left()) {
    painter.fillRect(QRectF(plot.left(), plot.top(), shadeEnd - plot.left(), plot.height()),
                     QColor::fromRgb(kInvalidShadeRgb));
  }
  DrawPlotRows(painter, plot, fonts, kLevelDivisions,
               AxisLabels(bottom, kLevelSpanDb / kLevelDivisions, kLevelDivisions, ""),
               AxisLabels(-180.0, kPhaseSpanDeg / kLevelDivisions, kLevelDivisions, ""));
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
      painter, plot, PlotPen(kColorMarker), fmin, fmax,
      [&](double f) { return analysis.ResponseAt(f).phaseDeg; }, phaseY, 180.0);
  DrawFrequencyCurve(
      painter, plot, PlotPen(kColorCurve), fmin, fmax,
      [&](double f) { return analysis.ResponseAt(f).levelDb; }, levelY);
  if (shadeEnd > plot.left()) {
    painter.setPen(QPen(PlotColour(kColorFrame), 1, Qt::DashLine));
    painter.drawLine(QPointF(shadeEnd, plot.top()), QPointF(shadeEnd, plot.bottom()));
    PlotText(painter, fonts.small, PlotColour(kColorPlotLabel), GateValidityText(gate),
             std::min(shadeEnd + 4, plot.right() - 120), plot.top() + 14, Align::kLeft);
  }
  painter.restore();
  DrawPlotAxes(painter, plot);
}

void PaintDistortion(QPainter& painter, const QRect& rect, const Fonts& fonts,
                     const CImpulseAnalysis& analysis) {
  const QPen h2Pen = PlotPen(QColor::fromRgb(kHarmonic2Rgb));
  const QPen h3Pen = PlotPen(QColor::fromRgb(kHarmonic3Rgb), 1.0, Qt::DashLine);
  const QPen thdPen = PlotPen(QColor::fromRgb(kThdRgb), 2.0);
  const QColor noiseColour = QColor::fromRgb(kNoiseFloorRgb);
  const QPen noisePen = PlotPen(noiseColour, 4.0);
  const QRectF plot = DrawPlotFrame(painter, rect, fonts, "Harmonic distortion",
                                    {{"H2", h2Pen},
                                     {"H3", h3Pen},
                                     {"THD %", thdPen},
                                     {"noise floor", noisePen, PlotColour(kColorPlotLabel)}},
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
  const auto dbY = [&](double db) {
    return plot.bottom() - (db - kDistortionFloorDb) / -kDistortionFloorDb * plot.height();
  };
  // the recording's noise floor on the same scale, a grey area under the harmonics
  const int columns = static_cast<int>(plot.width());
  std::vector<double> columnHz;
  for (int i = 0; i <= columns; ++i) {
    columnHz.push_back(ColumnFrequency(plot, plot.left() + i, fmin, fmax));
  }
  const std::vector<double> noise = NoiseFloorDb(analysis, columnHz);
  painter.save();
  painter.setClipRect(plot);
  for (int i = 0; i <= columns && static_cast<size_t>(i) < noise.size(); ++i) {
    const double db = noise[static_cast<size_t>(i)] - analysis.HarmonicDb(1, columnHz[i]);
    if (!std::isfinite(db)) continue;
    const double y = std::clamp(dbY(db), plot.top(), plot.bottom());
    painter.fillRect(QRectF(plot.left() + i, y, 1.0, plot.bottom() - y), noiseColour);
  }
  painter.restore();
  DrawPlotRows(painter, plot, fonts, kDistortionDivisions,
               AxisLabels(kDistortionFloorDb, step, kDistortionDivisions, ""), percent);
  DrawFrequencyAxis(painter, plot, fonts, fmin, fmax);
  PlotUpwardText(painter, fonts.small, PlotColour(kColorPlotLabel), "dB re fundamental",
                 rect.left() + 14, plot.center().y());
  painter.save();
  painter.setClipRect(plot);
  const auto relative = [&](int k) {
    return std::function<double(double)>(
        [&analysis, k](double f) { return analysis.HarmonicDb(k, f) - analysis.HarmonicDb(1, f); });
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
  DrawFrequencyCurve(painter, plot, thdPen, fmin, fmax, thdDb, dbY);
  DrawFrequencyCurve(painter, plot, h3Pen, fmin, fmax, relative(3), dbY);
  DrawFrequencyCurve(painter, plot, h2Pen, fmin, fmax, relative(2), dbY);
  painter.restore();
  DrawPlotAxes(painter, plot);
}

void PaintImpulse(QPainter& painter, const QRect& rect, const Fonts& fonts,
                  const CImpulseAnalysis& analysis) {
  const double gate = analysis.HasResult() ? analysis.AppliedGateMs() : 0.0;
  std::vector<LegendEntry> legend;
  legend.push_back({"response", PlotPen(kColorCurve)});
  if (gate > 0.0) legend.push_back({"gate", PlotPen(kColorMarker)});
  const QRectF plot =
      DrawPlotFrame(painter, rect, fonts, "Impulse response", legend, analysis.HasResult());
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
  DrawPlotRows(painter, plot, fonts, 4, labels, {});
  const auto timeX = [&](double ms) {
    return plot.left() + (ms - startMs) / (endMs - startMs) * plot.width();
  };
  // the time axis: a line and a label every 5 ms (or every 1-2-5 step giving at most 12)
  const double tick = NiceStep((endMs - startMs) / 12.0);
  for (double ms = std::ceil(startMs / tick) * tick; ms <= endMs + 1e-9; ms += tick) {
    const double x = timeX(ms);
    if (x > plot.left() + 0.5) {
      painter.setPen(PlotPen(std::fabs(ms) < 1e-9 ? kColorMajorGrid : kColorMinorGrid));
      painter.drawLine(QPointF(x, plot.top()), QPointF(x, plot.bottom()));
    }
    painter.setPen(QPen(Qt::black, 1));
    painter.drawLine(QPointF(x, plot.bottom()), QPointF(x, plot.bottom() + 3));
    PlotText(painter, fonts.small, PlotColour(kColorPlotLabel),
             CGraphical::FormatAxisNumber(6, std::round(ms / tick) * tick), x, plot.bottom() + 17,
             Align::kCenter);
  }
  PlotText(painter, fonts.small, PlotColour(kColorPlotLabel), "ms", plot.right() + 21,
           plot.bottom() + 17, Align::kLeft);
  painter.save();
  painter.setClipRect(plot);
  if (gate > 0.0) {
    // what the gate keeps: from 1 ms before the peak to the gate's length after it
    painter.setPen(QPen(PlotColour(kColorMarker), 1, Qt::DashLine));
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
  painter.setPen(PlotPen(kColorCurve));
  painter.drawPolyline(line);
  painter.restore();
  DrawPlotAxes(painter, plot);
}

}  // namespace

void PaintResponsePlot(QPainter& painter, const QRect& rect, ResponsePlot plot,
                       const CImpulseAnalysis& analysis) {
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing, false);
  painter.setRenderHint(QPainter::TextAntialiasing, false);
  painter.setClipRect(rect);
  const Fonts fonts = MakePlotFonts();
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

Result<void> SaveResponsePicture(const std::string& path, const CImpulseAnalysis& analysis) {
  // nothing to show: no empty picture stands in
  if (!analysis.HasResult()) return Failure{kMsgCannotSaveFile};
  return SavePlotPicture(
      path, kResponsePictureWidth, 2 * kResponsePlotHeight, [&](QPainter& painter) {
        PaintResponsePlot(painter, QRect(0, 0, kResponsePictureWidth, kResponsePlotHeight),
                          ResponsePlot::kLevelPhase, analysis);
        PaintResponsePlot(painter,
                          QRect(0, kResponsePlotHeight, kResponsePictureWidth, kResponsePlotHeight),
                          ResponsePlot::kDistortion, analysis);
      });
}

}  // namespace quorvel

// The waterfall and the spectrogram pictures of one response.
#include "graph/response_view_plots.h"

#include <QImage>
#include <QPointF>
#include <QPolygonF>
#include <algorithm>
#include <cmath>
#include <vector>

#include "base/messages.h"
#include "base/number_text.h"
#include "graph/graph_resources.h"
#include "graph/graph_scales.h"
#include "graph/graphical.h"
#include "graph/plot_colours.h"
#include "graph/plot_frame.h"
#include "response/decay_spectrum.h"
#include "response/group_delay.h"
#include "response/impulse_analysis.h"
#include "response/spectrogram.h"
#include "response/step_response.h"

namespace quorvel {

namespace {

constexpr double kDecaySpanDb = 50.0;  // shown below the first slice's largest level
constexpr int kDecayDivisions = 5;     // 10 dB each
// The first slice lies at the back, this share of the width right and this share of the height
// up; the later ones come forward to the last at the front, each drawn over those behind it.
constexpr double kDepthShareX = 0.25;
constexpr double kDepthShareY = 0.30;
constexpr double kSpectrogramSpanDb = 60.0;
constexpr int kLevelBarWidth = 14;
constexpr int kCurveDivisions = 6;
constexpr double kLeastDelayMs = -5.0;  // the group delay's scale at most from here
constexpr double kMostDelayMs = 20.0;   // to here

// A scale over low .. high in nice steps, at most about kCurveDivisions of them: its bottom a
// whole step at or below low, its top the first whole step at or above high (a scale of six
// steps over data that fills three would leave half the plot empty).
struct CurveScale {
  double bottom = 0.0;
  double step = 1.0;
  int divisions = kCurveDivisions;
  [[nodiscard]] double Top() const { return bottom + divisions * step; }
};
CurveScale FitScale(double low, double high) {
  if (!(high > low)) {
    low -= 0.5;
    high += 0.5;
  }
  CurveScale scale;
  scale.step = NiceStep((high - low) / kCurveDivisions);
  scale.bottom = std::floor(low / scale.step) * scale.step;
  // a step's rounding never leaves the top a hair below the data
  scale.divisions =
      std::max(1, static_cast<int>(std::ceil((high - scale.bottom) / scale.step - 1e-9)));
  return scale;
}

Result<void> Fails() {
  return Failure{kMsgCannotSaveFile};
}

// The level of row `levels` at frequency f, linear in log frequency between the grid's points.
double LevelAt(const std::vector<double>& hz, const std::vector<double>& levels, double f) {
  const auto upper = std::lower_bound(hz.begin(), hz.end(), f);
  if (upper == hz.begin()) return levels.front();
  if (upper == hz.end()) return levels.back();
  const auto i = static_cast<size_t>(upper - hz.begin());
  const double t = std::log(f / hz[i - 1]) / std::log(hz[i] / hz[i - 1]);
  return levels[i - 1] + t * (levels[i] - levels[i - 1]);
}

}  // namespace

void PaintDecayPlot(QPainter& painter, const QRect& rect, const DecaySpectrum& decay) {
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing, false);
  painter.setClipRect(rect);
  const PlotFonts fonts = MakePlotFonts();
  const bool any = decay.frequencyHz.size() > 1 && decay.startMs.size() > 1 &&
                   decay.levelDb.size() == decay.startMs.size();
  std::string title = "Cumulative spectral decay";
  if (any) {
    title += ", " + FormatGeneral(decay.startMs.front(), 3) + " to " +
             FormatGeneral(decay.startMs.back(), 3) + " ms after the peak, dB re the first slice";
  }
  const QRectF area = DrawPlotFrame(painter, rect, fonts, title, {}, false);
  if (!any || area.width() < 40 || area.height() < 40) {
    painter.restore();
    return;
  }
  const double fmin = decay.frequencyHz.front();
  const double fmax = decay.frequencyHz.back();
  // the front slice's plot; the depth takes the rest of the area
  const double depthX = area.width() * kDepthShareX;
  const double depthY = area.height() * kDepthShareY;
  const QRectF front(area.left(), area.top() + depthY, area.width() - depthX,
                     area.height() - depthY);
  DrawPlotRows(painter, front, fonts, kDecayDivisions,
               AxisLabels(-kDecaySpanDb, kDecaySpanDb / kDecayDivisions, kDecayDivisions, ""), {});
  DrawFrequencyAxis(painter, front, fonts, fmin, fmax);
  PlotUpwardText(painter, fonts.small, PlotColour(kColorPlotLabel), "dB", rect.left() + 14,
                 front.center().y());
  const size_t slices = decay.startMs.size();
  const double lastMs = decay.startMs.back() - decay.startMs.front();
  // how far back a time after the first slice's start lies: the first slice at the back, the
  // last at the front, so that what decays comes forward and down, never hidden behind what
  // was louder before it
  const auto depth = [&](double ms) {
    const double back = lastMs > 0.0 ? 1.0 - ms / lastMs : 0.0;
    return QPointF(back * depthX, -back * depthY);
  };
  const auto shift = [&](size_t slice) {
    return depth(decay.startMs[slice] - decay.startMs.front());
  };
  // the time axis along the depth, from the front slice's right end
  const QColor label = PlotColour(kColorPlotLabel);
  painter.setPen(QPen(Qt::black, 1));
  painter.drawLine(front.bottomRight(), front.bottomRight() + shift(0));
  const double tick = NiceStep(std::max(lastMs, 1e-3) / 5.0);
  for (double ms = 0.0; ms <= lastMs + 1e-9; ms += tick) {
    const QPointF at = front.bottomRight() + depth(ms);
    painter.setPen(QPen(Qt::black, 1));
    painter.drawLine(at, at + QPointF(4, 0));
    PlotText(painter, fonts.small, label,
             CGraphical::FormatAxisNumber(6, decay.startMs.front() + ms), at.x() + 6, at.y() + 4,
             Align::kLeft);
  }
  PlotText(painter, fonts.small, label, "ms", front.right() + depthX + 6,
           front.bottom() - depthY - 12, Align::kLeft);
  // back to front, the first slice first: each slice filled with the background hides the ones
  // behind it
  const int columns = static_cast<int>(front.width());
  std::vector<double> columnHz;
  for (int i = 0; i <= columns; ++i) {
    columnHz.push_back(ColumnFrequency(front, front.left() + i, fmin, fmax));
  }
  painter.setRenderHint(QPainter::Antialiasing, true);
  for (size_t s = 0; s < slices; ++s) {
    const std::vector<double>& levels = decay.levelDb[s];
    if (levels.size() != decay.frequencyHz.size()) continue;
    const QPointF offset = shift(s);
    QPolygonF outline;
    std::vector<bool> onFloor;
    outline << QPointF(front.left(), front.bottom()) + offset;
    for (int i = 0; i <= columns; ++i) {
      double db = LevelAt(decay.frequencyHz, levels, columnHz[static_cast<size_t>(i)]);
      if (!std::isfinite(db)) db = -kDecaySpanDb;
      onFloor.push_back(db <= -kDecaySpanDb);
      db = std::clamp(db, -kDecaySpanDb, 0.0);
      const double y = front.bottom() - (db + kDecaySpanDb) / kDecaySpanDb * front.height();
      outline << QPointF(front.left() + i, y) + offset;
    }
    outline << QPointF(front.left() + columns, front.bottom()) + offset;
    painter.setPen(Qt::NoPen);
    painter.setBrush(PlotColour(kColorBackground));
    painter.drawPolygon(outline);
    // the first slice darkest, the later ones lighter along the level scale; a slice is not
    // drawn where it lies below the scale (the front one keeps its floor)
    const double share =
        slices > 1 ? static_cast<double>(s) / static_cast<double>(slices - 1) : 0.0;
    painter.setPen(PlotPen(LevelScaleColour(0.85 * share), s == 0 ? 2.0 : 1.0));
    QPolygonF run;
    for (int i = 0; i <= columns; ++i) {
      const bool hidden = s + 1 < slices && onFloor[static_cast<size_t>(i)] &&
                          (i == 0 || onFloor[static_cast<size_t>(i - 1)]);
      if (hidden) {
        if (run.size() > 1) painter.drawPolyline(run);
        run.clear();
        continue;
      }
      run << outline[i + 1];
    }
    if (run.size() > 1) painter.drawPolyline(run);
  }
  painter.setBrush(Qt::NoBrush);
  painter.setRenderHint(QPainter::Antialiasing, false);
  painter.setPen(QPen(Qt::black, 1));
  painter.drawLine(front.bottomLeft(), front.topLeft());
  painter.restore();
}

void PaintSpectrogramPlot(QPainter& painter, const QRect& rect, const Spectrogram& map) {
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing, false);
  painter.setClipRect(rect);
  const PlotFonts fonts = MakePlotFonts();
  const size_t times = map.timeMs.size();
  const size_t bands = map.frequencyHz.size();
  const bool any = times > 1 && bands > 1 && map.levelDb.size() == times * bands;
  std::string title = "Spectrogram of the impulse response";
  if (any) title += ", " + FormatGeneral(map.windowMs, 3) + " ms Hann window, dB re the largest";
  const QRectF plot = DrawPlotFrame(painter, rect, fonts, title, {}, false)
                          .adjusted(0, 0, -(kLevelBarWidth + 40), 0);
  if (!any || plot.width() < 20 || plot.height() < 20) {
    painter.restore();
    return;
  }
  const double fmin = map.frequencyHz.front();
  const double fmax = map.frequencyHz.back();
  const double t0 = map.timeMs.front();
  const double t1 = map.timeMs.back();
  // each pixel of the plot takes the cell nearest it (in time, and in log frequency)
  const int width = static_cast<int>(plot.width());
  const int height = static_cast<int>(plot.height());
  QImage cells(width, height, QImage::Format_RGB32);
  for (int y = 0; y < height; ++y) {
    const double f = fmin * std::pow(fmax / fmin, 1.0 - (y + 0.5) / height);
    const auto upper = std::lower_bound(map.frequencyHz.begin(), map.frequencyHz.end(), f);
    size_t band = std::min(static_cast<size_t>(upper - map.frequencyHz.begin()), bands - 1);
    if (band > 0 && std::log(map.frequencyHz[band] / f) > std::log(f / map.frequencyHz[band - 1])) {
      --band;
    }
    auto* line = reinterpret_cast<QRgb*>(cells.scanLine(y));
    for (int x = 0; x < width; ++x) {
      const double t = t0 + (x + 0.5) / width * (t1 - t0);
      const auto time = std::min(
          times - 1,
          static_cast<size_t>(std::lround((t - t0) / (t1 - t0) * static_cast<double>(times - 1))));
      const double db = map.At(time, band);
      line[x] = LevelScaleColour(1.0 + db / kSpectrogramSpanDb).rgb();
    }
  }
  painter.drawImage(QPointF(plot.left(), plot.top()), cells);
  // frequency up the left, time along the bottom
  FrequencyTick ticks[kMaxFrequencyTicks];
  const int count = BuildFrequencyTicks(fmin, fmax, ticks);
  const QColor label = PlotColour(kColorPlotLabel);
  double lastLabel = HUGE_VAL;
  for (int i = 0; i < count; ++i) {
    const double y =
        plot.bottom() - std::log(ticks[i].frequency / fmin) / std::log(fmax / fmin) * plot.height();
    painter.setPen(QPen(Qt::black, 1));
    painter.drawLine(QPointF(plot.left() - (ticks[i].decadeStart ? 6 : 3), y),
                     QPointF(plot.left(), y));
    if (!ticks[i].labelled || lastLabel - y < 14.0) continue;
    PlotText(painter, fonts.small, label, CGraphical::FormatAxisNumber(6, ticks[i].frequency),
             plot.left() - 8, y + 4, Align::kRight);
    lastLabel = y;
  }
  PlotText(painter, fonts.small, label, "Hz", plot.left() - 8, plot.top() - 6, Align::kRight);
  const double tick = NiceStep((t1 - t0) / 11.0);
  for (double ms = std::ceil(t0 / tick) * tick; ms <= t1 + 1e-9; ms += tick) {
    const double x = plot.left() + (ms - t0) / (t1 - t0) * plot.width();
    painter.setPen(QPen(Qt::black, 1));
    painter.drawLine(QPointF(x, plot.bottom()), QPointF(x, plot.bottom() + 4));
    PlotText(painter, fonts.small, label,
             CGraphical::FormatAxisNumber(6, std::round(ms / tick) * tick), x, plot.bottom() + 17,
             Align::kCenter);
  }
  PlotText(painter, fonts.small, label, "ms", plot.right() + 8, plot.bottom() + 17, Align::kLeft);
  painter.setPen(PlotPen(kColorFrame));
  painter.drawRect(plot);
  DrawLevelBar(painter, QRectF(plot.right() + 14, plot.top(), kLevelBarWidth, plot.height()), fonts,
               -kSpectrogramSpanDb, 0.0, 10.0);
  painter.restore();
}

void PaintGroupDelayPlot(QPainter& painter, const QRect& rect,
                         const std::vector<GroupDelayRow>& rows) {
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing, false);
  painter.setClipRect(rect);
  const PlotFonts fonts = MakePlotFonts();
  const QPen total = PlotPen(QColor::fromRgb(kThdRgb), 2.0);
  const QPen minimum = PlotPen(QColor::fromRgb(kHarmonic3Rgb), 1.0, Qt::DashLine);
  const QPen excess = PlotPen(QColor::fromRgb(kHarmonic2Rgb), 1.0);
  const std::vector<LegendEntry> legend = {
      {"group delay", total}, {"minimum phase", minimum}, {"excess", excess}};
  const QRectF plot =
      DrawPlotFrame(painter, rect, fonts, "Group delay, ms after the peak", legend, true);
  if (rows.size() < 2 || plot.width() < 40 || plot.height() < 40) {
    painter.restore();
    return;
  }
  const double fmin = rows.front().frequencyHz;
  const double fmax = rows.back().frequencyHz;
  double low = 0.0;
  double high = 0.0;
  for (const GroupDelayRow& row : rows) {
    if (row.frequencyHz < 2.0 * fmin) continue;  // the sweep's own roll-off below
    for (const double ms : {row.groupDelayMs, row.minimumPhaseDelayMs, row.excessGroupDelayMs}) {
      if (!std::isfinite(ms)) continue;
      low = std::min(low, std::max(ms, kLeastDelayMs));
      high = std::max(high, std::min(ms, kMostDelayMs));
    }
  }
  const CurveScale scale = FitScale(low, high);
  const double top = scale.Top();
  DrawPlotRows(painter, plot, fonts, scale.divisions,
               AxisLabels(scale.bottom, scale.step, scale.divisions, ""), {});
  DrawFrequencyAxis(painter, plot, fonts, fmin, fmax);
  PlotUpwardText(painter, fonts.small, PlotColour(kColorPlotLabel), "ms", rect.left() + 14,
                 plot.center().y());
  const auto toY = [&](double ms) {
    return plot.bottom() - (std::clamp(ms, scale.bottom, top) - scale.bottom) /
                               (top - scale.bottom) * plot.height();
  };
  std::vector<double> hz;
  std::vector<double> values[3];
  for (const GroupDelayRow& row : rows) {
    hz.push_back(row.frequencyHz);
    values[0].push_back(row.groupDelayMs);
    values[1].push_back(row.minimumPhaseDelayMs);
    values[2].push_back(row.excessGroupDelayMs);
  }
  painter.setRenderHint(QPainter::Antialiasing, true);
  const QPen pens[3] = {minimum, excess, total};
  const int order[3] = {1, 2, 0};  // the total one over the others
  for (int k = 0; k < 3; ++k) {
    const std::vector<double>& curve = values[order[k]];
    DrawFrequencyCurve(
        painter, plot, pens[k], fmin, fmax, [&](double f) { return LevelAt(hz, curve, f); }, toY);
  }
  DrawPlotAxes(painter, plot);
  painter.restore();
}

void PaintStepPlot(QPainter& painter, const QRect& rect, const std::vector<StepRow>& rows) {
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing, false);
  painter.setClipRect(rect);
  const PlotFonts fonts = MakePlotFonts();
  const QRectF plot =
      DrawPlotFrame(painter, rect, fonts, "Step response, in the transfer's units", {}, false);
  if (rows.size() < 2 || plot.width() < 40 || plot.height() < 40) {
    painter.restore();
    return;
  }
  double low = 0.0;
  double high = 0.0;
  for (const StepRow& row : rows) {
    low = std::min(low, row.amplitude);
    high = std::max(high, row.amplitude);
  }
  const CurveScale scale = FitScale(low, high);
  const double top = scale.Top();
  const double t0 = rows.front().timeMs;
  const double t1 = rows.back().timeMs;
  std::vector<std::string> labels;
  for (int i = 0; i <= scale.divisions; ++i) {
    labels.push_back(FormatGeneral(
        std::round((scale.bottom + i * scale.step) / scale.step) * scale.step + 0.0, 3));
  }
  DrawPlotRows(painter, plot, fonts, scale.divisions, labels, {});
  const auto toX = [&](double ms) { return plot.left() + (ms - t0) / (t1 - t0) * plot.width(); };
  const auto toY = [&](double a) {
    return plot.bottom() - (a - scale.bottom) / (top - scale.bottom) * plot.height();
  };
  const QColor label = PlotColour(kColorPlotLabel);
  const double tick = NiceStep((t1 - t0) / 11.0);
  for (double ms = std::ceil(t0 / tick) * tick; ms <= t1 + 1e-9; ms += tick) {
    const double x = toX(ms);
    painter.setPen(PlotPen(kColorMinorGrid));
    painter.drawLine(QPointF(x, plot.top()), QPointF(x, plot.bottom()));
    painter.setPen(QPen(Qt::black, 1));
    painter.drawLine(QPointF(x, plot.bottom()), QPointF(x, plot.bottom() + 4));
    PlotText(painter, fonts.small, label,
             CGraphical::FormatAxisNumber(6, std::round(ms / tick) * tick + 0.0), x,
             plot.bottom() + 17, Align::kCenter);
  }
  PlotText(painter, fonts.small, label, "ms", plot.right() + 8, plot.bottom() + 17, Align::kLeft);
  // the zero line and the peak's instant
  painter.setPen(QPen(Qt::black, 1));
  painter.drawLine(QPointF(plot.left(), toY(0.0)), QPointF(plot.right(), toY(0.0)));
  painter.setPen(PlotPen(PlotColour(kColorFrame), 1.0, Qt::DashLine));
  painter.drawLine(QPointF(toX(0.0), plot.top()), QPointF(toX(0.0), plot.bottom()));
  QPolygonF line;
  for (const StepRow& row : rows) line << QPointF(toX(row.timeMs), toY(row.amplitude));
  painter.setRenderHint(QPainter::Antialiasing, true);
  painter.setPen(PlotPen(QColor::fromRgb(kHarmonic3Rgb), 2.0));
  painter.drawPolyline(line);
  DrawPlotAxes(painter, plot);
  painter.restore();
}

Result<void> SaveDecayPicture(const std::string& path, const CImpulseAnalysis& analysis) {
  if (!analysis.HasResult()) return Fails();
  const DecaySpectrum decay = CumulativeDecay(analysis);
  return SavePlotPicture(path, kViewPictureWidth, kViewPictureHeight, [&](QPainter& painter) {
    PaintDecayPlot(painter, QRect(0, 0, kViewPictureWidth, kViewPictureHeight), decay);
  });
}

Result<void> SaveSpectrogramPicture(const std::string& path, const CImpulseAnalysis& analysis) {
  if (!analysis.HasResult()) return Fails();
  const Spectrogram map = ImpulseSpectrogram(analysis);
  return SavePlotPicture(path, kViewPictureWidth, kViewPictureHeight, [&](QPainter& painter) {
    PaintSpectrogramPlot(painter, QRect(0, 0, kViewPictureWidth, kViewPictureHeight), map);
  });
}

Result<void> SaveGroupDelayPicture(const std::string& path, const CImpulseAnalysis& analysis) {
  if (!analysis.HasResult()) return Fails();
  const std::vector<GroupDelayRow> rows = GroupDelayRows(analysis);
  return SavePlotPicture(path, kViewPictureWidth, kViewPictureHeight, [&](QPainter& painter) {
    PaintGroupDelayPlot(painter, QRect(0, 0, kViewPictureWidth, kViewPictureHeight), rows);
  });
}

Result<void> SaveStepPicture(const std::string& path, const CImpulseAnalysis& analysis) {
  if (!analysis.HasResult()) return Fails();
  const std::vector<StepRow> rows = StepResponse(analysis);
  return SavePlotPicture(path, kViewPictureWidth, kViewPictureHeight, [&](QPainter& painter) {
    PaintStepPlot(painter, QRect(0, 0, kViewPictureWidth, kViewPictureHeight), rows);
  });
}

}  // namespace quorvel

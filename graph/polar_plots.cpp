// The directivity map and the polar plot of an off-axis series.
#include "graph/polar_plots.h"

#include <QImage>
#include <QPointF>
#include <QPolygonF>
#include <algorithm>
#include <cmath>
#include <numbers>

#include "base/number_text.h"
#include "graph/graph_resources.h"
#include "graph/graphical.h"
#include "graph/overlay_picture.h"
#include "graph/plot_colours.h"
#include "graph/plot_frame.h"

namespace quorvel {

namespace {

constexpr double kSpanDb = 36.0;
constexpr double kRingDb = 6.0;
constexpr int kBarRoom = 64;  // the map's level bar and its labels

// The responses of one plane, by angle.
std::vector<size_t> PlaneIndices(const PolarSeries& series, PolarPlane plane) {
  std::vector<size_t> indices;
  for (size_t i = 0; i < series.responses.size(); ++i) {
    if (series.responses[i].name.plane == plane) indices.push_back(i);
  }
  std::sort(indices.begin(), indices.end(), [&](size_t a, size_t b) {
    return series.responses[a].name.angleDeg < series.responses[b].name.angleDeg;
  });
  return indices;
}

// The top of the scale: 0 dB normalised (or the next 3 dB above a higher level), else the next
// 6 dB above the highest level.
double ScaleTop(const PolarSeries& series, bool normalized) {
  double highest = -HUGE_VAL;
  for (size_t i = 0; i < series.responses.size(); ++i) {
    for (const double f : series.frequenciesHz) {
      const double db = PolarLevelDb(series, i, f, normalized);
      if (std::isfinite(db)) highest = std::max(highest, db);
    }
  }
  if (!std::isfinite(highest)) return 0.0;
  return normalized ? std::max(0.0, 3.0 * std::ceil(highest / 3.0))
                    : 6.0 * std::ceil(highest / 6.0);
}

std::string PlaneTitle(const PolarSeries& series, PolarPlane plane, const char* what,
                       bool normalized) {
  return series.series + " " + (plane == PolarPlane::kHorizontal ? "horizontal" : "vertical") +
         " " + what + ", gate " + FormatGeneral(series.gateMs, 4) + " ms" +
         (normalized ? ", dB re 0 degrees" : ", dB");
}

}  // namespace

std::vector<PolarPlane> SeriesPlanes(const PolarSeries& series) {
  std::vector<PolarPlane> planes;
  for (const PolarPlane plane : {PolarPlane::kHorizontal, PolarPlane::kVertical}) {
    if (!PlaneIndices(series, plane).empty()) planes.push_back(plane);
  }
  return planes;
}

void PaintDirectivityMap(QPainter& painter, const QRect& rect, const PolarSeries& series,
                         PolarPlane plane, bool normalized) {
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing, false);
  painter.setClipRect(rect);
  const PlotFonts fonts = MakePlotFonts();
  const std::vector<size_t> rows = PlaneIndices(series, plane);
  const QRectF plot = DrawPlotFrame(painter, rect, fonts,
                                    PlaneTitle(series, plane, "directivity", normalized), {}, false)
                          .adjusted(0, 0, -kBarRoom, 0);
  if (rows.empty() || plot.width() < 20 || plot.height() < 20 || series.frequenciesHz.size() < 2) {
    painter.restore();
    return;
  }
  const double top = ScaleTop(series, normalized);
  const int front = rows.size() > 1 ? series.responses[rows.front()].name.angleDeg : 0;
  const int back = rows.size() > 1 ? series.responses[rows.back()].name.angleDeg : 1;
  const auto angleY = [&](double deg) {
    return plot.bottom() - (deg - front) / (back - front) * plot.height();
  };
  // each angle's band reaches half-way to its neighbours
  const int columns = static_cast<int>(plot.width());
  for (size_t r = 0; r < rows.size(); ++r) {
    const double deg = series.responses[rows[r]].name.angleDeg;
    const double below = r == 0 ? deg : (deg + series.responses[rows[r - 1]].name.angleDeg) / 2.0;
    const double above =
        r + 1 == rows.size() ? deg : (deg + series.responses[rows[r + 1]].name.angleDeg) / 2.0;
    const double y0 = rows.size() > 1 ? angleY(above) : plot.top();
    const double y1 = rows.size() > 1 ? angleY(below) : plot.bottom();
    QImage line(columns, 1, QImage::Format_RGB32);
    for (int x = 0; x < columns; ++x) {
      const double f = ColumnFrequency(plot, plot.left() + x + 0.5, series.fmin, series.fmax);
      const double db = PolarLevelDb(series, rows[r], f, normalized);
      line.setPixel(x, 0,
                    std::isfinite(db) ? LevelScaleColour(1.0 + (db - top) / kSpanDb).rgb()
                                      : PaletteColor(kColorBackground));
    }
    // whole pixel rows, so that neighbouring bands meet without a seam at any size
    const double rowTop = std::floor(y0);
    painter.drawImage(QRectF(plot.left(), rowTop, columns, std::max(1.0, std::ceil(y1) - rowTop)),
                      line);
  }
  DrawFrequencyAxis(painter, plot, fonts, series.fmin, series.fmax);
  // the angles up the left, each measured one ticked
  const QColor label = PlotColour(kColorPlotLabel);
  double lastLabel = HUGE_VAL;
  for (const size_t i : rows) {
    const double deg = series.responses[i].name.angleDeg;
    const double y = rows.size() > 1 ? angleY(deg) : plot.center().y();
    painter.setPen(QPen(Qt::black, 1));
    painter.drawLine(QPointF(plot.left() - 4, y), QPointF(plot.left(), y));
    if (lastLabel - y < 13.0) continue;
    PlotText(painter, fonts.small, label, std::to_string(static_cast<int>(deg)), plot.left() - 7,
             y + 4, Align::kRight);
    lastLabel = y;
  }
  PlotUpwardText(painter, fonts.small, label, "degrees", rect.left() + 12, plot.center().y());
  painter.setPen(PlotPen(kColorFrame));
  painter.drawRect(plot);
  DrawLevelBar(painter, QRectF(plot.right() + 16, plot.top(), 14, plot.height()), fonts,
               top - kSpanDb, top, kRingDb);
  painter.restore();
}

void PaintPolarPlot(QPainter& painter, const QRect& rect, const PolarSeries& series,
                    PolarPlane plane, const std::vector<double>& frequenciesHz, bool normalized) {
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing, false);
  painter.setClipRect(rect);
  const PlotFonts fonts = MakePlotFonts();
  std::vector<LegendEntry> legend;
  for (size_t k = 0; k < frequenciesHz.size(); ++k) {
    legend.push_back({CGraphical::FormatAxisNumber(6, frequenciesHz[k]) + " Hz",
                      PlotPen(SeriesColour(static_cast<int>(k)), 2.0)});
  }
  const std::vector<size_t> rows = PlaneIndices(series, plane);
  const QRectF area = DrawPlotFrame(painter, rect, fonts,
                                    PlaneTitle(series, plane, "polar", normalized), {}, false);
  if (rows.empty() || area.width() < 40 || area.height() < 60) {
    painter.restore();
    return;
  }
  // the legend in rows under the title
  double legendY = area.top() + 4;
  double x = area.left();
  for (const LegendEntry& entry : legend) {
    const double width = 6.0 * static_cast<double>(entry.text.size()) + 40;
    if (x + width > area.right()) {
      x = area.left();
      legendY += 16;
    }
    painter.setPen(entry.pen);
    painter.drawLine(QPointF(x, legendY + 6), QPointF(x + 14, legendY + 6));
    PlotText(painter, fonts.small, entry.pen.color(), entry.text, x + 18, legendY + 10,
             Align::kLeft);
    x += width;
  }
  const QRectF disc = area.adjusted(0, legendY + 24 - area.top(), 0, 0);
  const double radius = std::min(disc.width(), disc.height()) / 2.0 - 12.0;
  const QPointF centre = disc.center();
  const double top = ScaleTop(series, normalized);
  const auto toPoint = [&](double deg, double db) {
    const double r = std::clamp((db - (top - kSpanDb)) / kSpanDb, 0.0, 1.0) * radius;
    const double a = deg * std::numbers::pi / 180.0;
    return QPointF(centre.x() + r * std::sin(a), centre.y() - r * std::cos(a));
  };
  // rings every 6 dB, spokes every 30 degrees
  const QColor label = PlotColour(kColorPlotLabel);
  for (double db = top - kSpanDb + kRingDb; db <= top + 1e-9; db += kRingDb) {
    const double r = (db - (top - kSpanDb)) / kSpanDb * radius;
    painter.setPen(PlotPen(db >= top - 1e-9 ? kColorFrame : kColorMinorGrid));
    painter.drawEllipse(centre, r, r);
    PlotText(painter, fonts.small, label, CGraphical::FormatAxisNumber(6, db), centre.x() + 3,
             centre.y() - r - 2, Align::kLeft);
  }
  for (int deg = -180; deg < 180; deg += 30) {
    painter.setPen(PlotPen(deg % 90 == 0 ? kColorMajorGrid : kColorMinorGrid));
    painter.drawLine(centre, toPoint(deg, top));
    const QPointF at = toPoint(deg, top + kSpanDb * 6.0 / std::max(radius, 1.0));
    PlotText(painter, fonts.small, label, std::to_string(deg), at.x(), at.y() + 4, Align::kCenter);
  }
  // the measured angles joined, each frequency in its colour
  painter.setRenderHint(QPainter::Antialiasing, true);
  for (size_t k = 0; k < frequenciesHz.size(); ++k) {
    QPolygonF line;
    for (const size_t i : rows) {
      const double db = PolarLevelDb(series, i, frequenciesHz[k], normalized);
      if (std::isfinite(db)) line << toPoint(series.responses[i].name.angleDeg, db);
    }
    painter.setPen(legend[k].pen);
    if (line.size() > 1) painter.drawPolyline(line);
    for (const QPointF& p : line) painter.drawEllipse(p, 1.5, 1.5);
  }
  painter.restore();
}

Result<void> SaveDirectivityMap(const std::string& path, const PolarSeries& series,
                                bool normalized) {
  const std::vector<PolarPlane> planes = SeriesPlanes(series);
  const int panels = std::max(1, static_cast<int>(planes.size()));
  return SavePlotPicture(
      path, kPolarMapWidth, panels * kPolarMapPanelHeight, [&](QPainter& painter) {
        for (size_t p = 0; p < planes.size(); ++p) {
          PaintDirectivityMap(painter,
                              QRect(0, static_cast<int>(p) * kPolarMapPanelHeight, kPolarMapWidth,
                                    kPolarMapPanelHeight),
                              series, planes[p], normalized);
        }
      });
}

Result<void> SavePolarPlot(const std::string& path, const PolarSeries& series,
                           const std::vector<double>& frequenciesHz, bool normalized) {
  const std::vector<PolarPlane> planes = SeriesPlanes(series);
  const int panels = std::max(1, static_cast<int>(planes.size()));
  return SavePlotPicture(path, panels * kPolarPlotPanelSize, kPolarPlotPanelSize,
                         [&](QPainter& painter) {
                           for (size_t p = 0; p < planes.size(); ++p) {
                             PaintPolarPlot(painter,
                                            QRect(static_cast<int>(p) * kPolarPlotPanelSize, 0,
                                                  kPolarPlotPanelSize, kPolarPlotPanelSize),
                                            series, planes[p], frequenciesHz, normalized);
                           }
                         });
}

void PaintOffAxisOverlay(QPainter& painter, const QRect& rect, const PolarSeries& series,
                         PolarPlane plane, bool normalized) {
  std::vector<Trace> traces;
  for (const size_t i : PlaneIndices(series, plane)) {
    Trace trace;
    trace.name = std::string(PlaneWord(plane)) + " " +
                 std::to_string(series.responses[i].name.angleDeg) + " deg";
    trace.range = {series.fmin, series.fmax};
    trace.frequenciesHz = series.frequenciesHz;
    trace.smoothingBands = series.smoothingBands;
    trace.gateMs = series.gateMs;
    for (const double f : series.frequenciesHz) {
      const double db = PolarLevelDb(series, i, f, normalized);
      trace.levelsDb.push_back(std::isfinite(db) ? db : -200.0);
    }
    traces.push_back(std::move(trace));
  }
  OverlayPictureOptions options;
  options.title = series.series + " " + PlaneWord(plane) + ": off-axis levels" +
                  (normalized ? " re 0 degrees" : "");
  options.levelRangeDb = normalized ? 0.0 : 50.0;
  PaintOverlay(painter, rect, traces, options);
}

Result<void> SaveOffAxisOverlay(const std::string& path, const PolarSeries& series,
                                bool normalized) {
  const std::vector<PolarPlane> planes = SeriesPlanes(series);
  const int panels = std::max(1, static_cast<int>(planes.size()));
  return SavePlotPicture(
      path, kOverlayPictureWidth, panels * kOverlayPictureHeight, [&](QPainter& painter) {
        for (size_t p = 0; p < planes.size(); ++p) {
          PaintOffAxisOverlay(painter,
                              QRect(0, static_cast<int>(p) * kOverlayPictureHeight,
                                    kOverlayPictureWidth, kOverlayPictureHeight),
                              series, planes[p], normalized);
        }
      });
}

}  // namespace quorvel

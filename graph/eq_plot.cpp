// quorvel-cli eq's picture: levels above the residual, over log frequency.
#include "graph/eq_plot.h"

#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QPolygonF>
#include <algorithm>
#include <cmath>
#include <utility>

#include "base/messages.h"
#include "graph/graph_resources.h"
#include "graph/graph_scales.h"
#include "graph/graphical.h"
#include "graph/plot_frame.h"

namespace quorvel {

namespace {

constexpr int kMarginLeft = 52;  // room for the title, the labels and the legend [pixels]
constexpr int kMarginRight = 52;
constexpr int kMarginTop = 26;
constexpr int kMarginBottom = 26;
constexpr int kPngDotsPerMetre = 2777;    // as the other pictures carry it
constexpr int kColorLabel = 17;           // 64, 64, 64
constexpr int kColorTarget = 17;          // the target in the labels' grey
constexpr double kResidualSpanDb = 12.0;  // -6 .. +6 dB, 2 dB a row

QPen Pen(int index) {
  return QPen(QColor::fromRgb(PaletteColor(index)), 1, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin);
}

struct Plot {
  QPainter& painter;
  QRectF area;  // inside the margins
  QFont small;
  QFont medium;
  double fmin;
  double fmax;

  void Text(const QFont& font, int colour, const std::string& text, double x, double baseline,
            int align) const {  // -1 left, 0 centre, 1 right
    const QString q = QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
    const double width = QFontMetrics(font).horizontalAdvance(q);
    painter.setFont(font);
    painter.setPen(Pen(colour));
    painter.drawText(QPointF(x - (align + 1) * width / 2.0, baseline), q);
  }
  double X(double f) const {
    return area.left() + std::log(f / fmin) / std::log(fmax / fmin) * area.width();
  }

  // Background, title, legend from the right, rows with their labels, the frequency axis.
  void Frame(const QRect& rect, const std::string& title,
             const std::vector<std::pair<std::string, int>>& legend, double bottomDb, double stepDb,
             int rows) const {
    painter.setPen(Pen(kColorFrame));
    painter.setBrush(QColor::fromRgb(PaletteColor(kColorBackground)));
    painter.drawRect(QRectF(rect).adjusted(0.5, 0.5, -0.5, -0.5));
    painter.setBrush(Qt::NoBrush);
    const double titleRow = rect.top() + 18.0;
    Text(medium, kColorCaption, title, area.left(), titleRow, -1);
    double x = area.right();
    for (auto it = legend.rbegin(); it != legend.rend(); ++it) {
      Text(small, it->second, it->first, x, titleRow, 1);
      x -= QFontMetrics(small).horizontalAdvance(QString::fromLatin1(it->first.c_str())) + 18;
    }
    for (int i = 0; i <= rows; ++i) {
      const double y = area.bottom() - i * area.height() / rows;
      if (i > 0 && i < rows) {
        painter.setPen(Pen(kColorMinorGrid));
        painter.drawLine(QPointF(area.left(), y), QPointF(area.right(), y));
      }
      Text(small, kColorLabel, CGraphical::FormatAxisNumber(6, bottomDb + i * stepDb),
           area.left() - 7, y + 4, 1);
    }
    FrequencyTick ticks[kMaxFrequencyTicks];
    const int count = BuildFrequencyTicks(fmin, fmax, ticks);
    double labelEnd = -HUGE_VAL;
    for (int i = 0; i < count; ++i) {
      const double tx = X(ticks[i].frequency);
      if (tx > area.left() + 0.5) {
        painter.setPen(Pen(ticks[i].decadeStart ? kColorMajorGrid : kColorMinorGrid));
        painter.drawLine(QPointF(tx, area.top()), QPointF(tx, area.bottom()));
      }
      const std::string label = CGraphical::FormatAxisNumber(6, ticks[i].frequency);
      const double half =
          QFontMetrics(small).horizontalAdvance(QString::fromLatin1(label.c_str())) / 2.0;
      if (!ticks[i].labelled || tx - half < labelEnd + 4.0) continue;
      Text(small, kColorLabel, label, tx, area.bottom() + 17, 0);
      labelEnd = tx + half;
    }
    Text(small, kColorLabel, "Hz", area.right() + 21, area.bottom() + 17, -1);
    Text(small, kColorLabel, "dB", area.left() - 7, area.top() - 6, 1);
  }

  // The curve through (hz[i], db[i]) drawn between its points, clipped to the area.
  void Curve(const std::vector<double>& hz, const std::vector<double>& db, int colour,
             double bottomDb, double spanDb) const {
    QPolygonF line;
    for (size_t i = 0; i < hz.size() && i < db.size(); ++i) {
      if (!std::isfinite(db[i]) || hz[i] <= 0.0) continue;
      const double v = std::clamp(db[i], bottomDb - spanDb, bottomDb + 2 * spanDb);
      line << QPointF(X(hz[i]), area.bottom() - (v - bottomDb) / spanDb * area.height());
    }
    painter.save();
    painter.setClipRect(area);
    painter.setPen(Pen(colour));
    painter.drawPolyline(line);
    painter.restore();
  }

  void Axes() const {
    painter.setPen(Pen(kColorFrame));
    painter.drawRect(area);
  }
};

void PaintEqPlots(QPainter& painter, const EqPlotCurves& c) {
  const QFont small = MakeCellFont(kGraphFace, 14, 6, 100);
  const QFont medium = MakeCellFont(kGraphFace, 16, 8, 100);
  const double fmin = c.frequenciesHz.empty() ? 20.0 : c.frequenciesHz.front();
  const double fmax = c.frequenciesHz.empty() ? 20000.0 : c.frequenciesHz.back();
  const auto area = [](const QRect& r) {
    return QRectF(r).adjusted(kMarginLeft, kMarginTop, -kMarginRight, -kMarginBottom);
  };
  // the level scale: rows of 5 dB over the match range's levels, 30 to 60 dB
  double low = HUGE_VAL;
  double high = -HUGE_VAL;
  for (const auto* curve : {&c.measuredDb, &c.targetDb, &c.predictedDb}) {
    for (size_t i = 0; i < curve->size() && i < c.frequenciesHz.size(); ++i) {
      const double f = c.frequenciesHz[i];
      if (f < c.matchLowHz || f > c.matchHighHz || !std::isfinite((*curve)[i])) continue;
      low = std::min(low, (*curve)[i]);
      high = std::max(high, (*curve)[i]);
    }
  }
  if (!(high >= low)) low = high = 0.0;
  const double top = 5.0 * std::ceil(high / 5.0 + 0.2);
  const int rows = std::clamp(static_cast<int>(std::ceil((top - low) / 5.0 + 0.2)), 6, 12);
  const QRect upper(0, 0, kEqPictureWidth, kEqPlotHeight);
  const Plot levels{painter, area(upper), small, medium, fmin, fmax};
  levels.Frame(upper, c.title,
               {{"measured", kColorCurve}, {"target", kColorTarget}, {"with EQ", kColorMarker}},
               top - 5.0 * rows, 5.0, rows);
  for (const double f : {c.matchLowHz, c.matchHighHz}) {  // the match range, dashed
    painter.setPen(QPen(QColor::fromRgb(PaletteColor(kColorFrame)), 1, Qt::DashLine));
    painter.drawLine(QPointF(levels.X(f), levels.area.top()),
                     QPointF(levels.X(f), levels.area.bottom()));
  }
  levels.Curve(c.frequenciesHz, c.measuredDb, kColorCurve, top - 5.0 * rows, 5.0 * rows);
  levels.Curve(c.frequenciesHz, c.targetDb, kColorTarget, top - 5.0 * rows, 5.0 * rows);
  levels.Curve(c.frequenciesHz, c.predictedDb, kColorMarker, top - 5.0 * rows, 5.0 * rows);
  levels.Axes();

  const QRect lower(0, kEqPlotHeight, kEqPictureWidth, kEqPlotHeight);
  const Plot residual{painter, area(lower), small, medium, fmin, fmax};
  residual.Frame(lower, "Residual: smoothed prediction less target", {{"residual", kColorMarker}},
                 -kResidualSpanDb / 2, 2.0, 6);
  residual.Curve(c.residualHz, c.residualDb, kColorMarker, -kResidualSpanDb / 2, kResidualSpanDb);
  residual.Axes();
}

}  // namespace

void PaintEqPicture(QPainter& painter, const EqPlotCurves& curves) {
  PaintEqPlots(painter, curves);
}

Result<void> SaveEqPicture(const std::string& path, const EqPlotCurves& curves) {
  const auto fail = [](const std::string& words) -> Result<void> {
    return Failure{kMsgCannotSaveFile + ("\n" + words)};
  };
  QImage image(kEqPictureWidth, 2 * kEqPlotHeight, QImage::Format_RGB32);
  if (image.isNull()) return fail(path + ": the picture cannot be made");
  image.setDotsPerMeterX(kPngDotsPerMetre);
  image.setDotsPerMeterY(kPngDotsPerMetre);
  {
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setRenderHint(QPainter::TextAntialiasing, false);
    PaintEqPlots(painter, curves);
  }
  if (const Result<void> png = WritePngWhole(image, path); !png) return fail(png.Message());
  return {};
}

}  // namespace quorvel

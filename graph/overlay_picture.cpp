// quorvel-cli's overlay picture: traces together over log frequency, with a legend.
#include "graph/overlay_picture.h"

#include <QFontMetrics>
#include <QImage>
#include <QPointF>
#include <QPolygonF>
#include <algorithm>
#include <cmath>
#include <vector>

#include "base/messages.h"
#include "base/number_text.h"
#include "graph/graph_resources.h"
#include "graph/plot_frame.h"

namespace quorvel {

namespace {

constexpr int kMarginLeft = 52;
constexpr int kMarginTop = 30;
constexpr int kMarginBottom = 30;
constexpr int kLegendWidth = 230;  // right of the plot: a line sample and the name
constexpr int kLegendRow = 16;
constexpr int kPngDotsPerMetre = 2777;  // as the curve pictures carry it
constexpr double kFitDepthDb = 100.0;   // a fitted axis reaches at most this below the top

// Okabe and Ito's colours, told apart with each kind of colour blindness; black last, so a
// result drawn in black stands alone among up to seven sources.
constexpr QRgb kPalette[] = {qRgb(0, 114, 178),   qRgb(213, 94, 0),  qRgb(0, 158, 115),
                             qRgb(204, 121, 167), qRgb(230, 159, 0), qRgb(86, 180, 233),
                             qRgb(240, 228, 66),  qRgb(0, 0, 0)};
constexpr int kColours = sizeof kPalette / sizeof kPalette[0];
const QColor kGrid(225, 225, 225);
const QColor kDecade(170, 170, 170);
const QColor kLabel(64, 64, 64);

struct Fonts {
  QFont small;   // labels and legend
  QFont medium;  // the title
};

// A step of 1, 2 or 5 times a power of ten, at least `least`.
// The pen of trace i: a colour of the palette, then the same colours dashed, then dotted; the
// sources of a result leave its black out.
QPen TracePen(std::size_t i, bool result, bool sourcesOfResult) {
  if (result) return QPen(QColor(0, 0, 0), 2.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
  const std::size_t colours = sourcesOfResult ? kColours - 1 : kColours;
  static const Qt::PenStyle kStyles[] = {Qt::SolidLine, Qt::DashLine, Qt::DotLine};
  QPen pen(QColor::fromRgb(kPalette[i % colours]), 1.5, kStyles[(i / colours) % 3], Qt::FlatCap,
           Qt::RoundJoin);
  return pen;
}

QString Latin(const std::string& text) {
  return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

void Text(QPainter& painter, const QFont& font, const QString& text, double x, double baseline,
          Qt::Alignment align) {
  double left = x;
  if (align != Qt::AlignLeft) {
    const double width = QFontMetrics(font).horizontalAdvance(text);
    left -= align == Qt::AlignHCenter ? width / 2.0 : width;
  }
  painter.setFont(font);
  painter.setPen(kLabel);
  painter.drawText(QPointF(left, baseline), text);
}

// A frequency label: "20", "500", "2k", "20k".
std::string FrequencyLabel(double hz) {
  return hz >= 1000.0 ? FormatGeneral(hz / 1000.0, 3) + "k" : FormatGeneral(hz, 3);
}

void DrawFrequencyAxis(QPainter& painter, const QRectF& plot, const Fonts& fonts, double fmin,
                       double fmax) {
  const auto x = [&](double f) {
    return plot.left() + std::log(f / fmin) / std::log(fmax / fmin) * plot.width();
  };
  double labelEnd = -HUGE_VAL;
  for (double decade = std::pow(10.0, std::floor(std::log10(fmin))); decade <= fmax;
       decade *= 10.0) {
    for (int m = 1; m <= 9; ++m) {
      const double f = decade * m;
      if (f < fmin * (1.0 - 1e-9) || f > fmax * (1.0 + 1e-9)) continue;
      const double at = x(f);
      painter.setPen(QPen(m == 1 ? kDecade : kGrid, 1));
      painter.drawLine(QPointF(at, plot.top()), QPointF(at, plot.bottom()));
      painter.setPen(QPen(Qt::black, 1));
      painter.drawLine(QPointF(at, plot.bottom()), QPointF(at, plot.bottom() + (m == 1 ? 6 : 3)));
      if (m != 1 && m != 2 && m != 5) continue;
      const QString label = Latin(FrequencyLabel(f));
      const double half = QFontMetrics(fonts.small).horizontalAdvance(label) / 2.0;
      if (at - half < labelEnd + 4.0) continue;
      Text(painter, fonts.small, label, at, plot.bottom() + 17, Qt::AlignHCenter);
      labelEnd = at + half;
    }
  }
  Text(painter, fonts.small, QStringLiteral("Hz"), plot.right() + 14, plot.bottom() + 17,
       Qt::AlignLeft);
}

void DrawLevelAxis(QPainter& painter, const QRectF& plot, const Fonts& fonts,
                   const OverlayLevelAxis& axis) {
  const double span = axis.topDb - axis.bottomDb;
  for (double db = std::ceil(axis.bottomDb / axis.stepDb - 1e-9) * axis.stepDb;
       db <= axis.topDb + 1e-9; db += axis.stepDb) {
    const double y = plot.bottom() - (db - axis.bottomDb) / span * plot.height();
    painter.setPen(QPen(std::fabs(db) < 1e-9 ? kDecade : kGrid, 1));
    painter.drawLine(QPointF(plot.left(), y), QPointF(plot.right(), y));
    painter.setPen(QPen(Qt::black, 1));
    painter.drawLine(QPointF(plot.left() - 5, y), QPointF(plot.left(), y));
    Text(painter, fonts.small, Latin(FormatGeneral(std::round(db / axis.stepDb) * axis.stepDb, 4)),
         plot.left() - 7, y + 4, Qt::AlignRight);
  }
  Text(painter, fonts.small, QStringLiteral("dB"), plot.left() - 7, plot.top() - 10,
       Qt::AlignRight);
}

// The name in the legend's width, cut with "..." when longer.
QString Fitted(const QFont& font, const std::string& name, int width) {
  return QFontMetrics(font).elidedText(
      QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())), Qt::ElideRight, width);
}

}  // namespace

OverlayLevelAxis OverlayLevels(std::span<const Trace> traces, double levelRangeDb) {
  double highest = -HUGE_VAL, lowest = HUGE_VAL;
  for (const Trace& trace : traces) {
    for (const double db : trace.levelsDb) {
      if (!std::isfinite(db)) continue;
      highest = std::max(highest, db);
      lowest = std::min(lowest, db);
    }
  }
  if (!std::isfinite(highest)) highest = lowest = 0.0;
  OverlayLevelAxis axis;
  if (levelRangeDb > 0.0) {
    axis.stepDb = NiceStep(levelRangeDb / 10.0);
    axis.topDb = std::ceil(highest / axis.stepDb - 1e-9) * axis.stepDb;
    axis.bottomDb = axis.topDb - levelRangeDb;
    return axis;
  }
  lowest = std::max(lowest, highest - kFitDepthDb);
  axis.stepDb = NiceStep(std::max(highest - lowest, 1.0) / 10.0);
  axis.topDb = std::ceil(highest / axis.stepDb - 1e-9) * axis.stepDb;
  axis.bottomDb = std::floor(lowest / axis.stepDb + 1e-9) * axis.stepDb;
  if (axis.topDb - axis.bottomDb < 4.0 * axis.stepDb - 1e-9) {
    axis.bottomDb = axis.topDb - 4.0 * axis.stepDb;  // a flat trace still gets a scale
  }
  return axis;
}

void PaintOverlay(QPainter& painter, const QRect& rect, std::span<const Trace> traces,
                  const OverlayPictureOptions& options) {
  painter.save();
  painter.setClipRect(rect);
  painter.setRenderHint(QPainter::Antialiasing, false);
  painter.setRenderHint(QPainter::TextAntialiasing, false);
  const Fonts fonts{MakeCellFont(kGraphFace, 14, 6, 100), MakeCellFont(kGraphFace, 16, 8, 100)};
  painter.fillRect(rect, Qt::white);
  painter.setPen(QPen(QColor(128, 128, 128), 1));
  painter.drawRect(QRectF(rect).adjusted(0.5, 0.5, -0.5, -0.5));
  const QRectF plot = QRectF(rect).adjusted(kMarginLeft, kMarginTop, -kLegendWidth, -kMarginBottom);
  Text(painter, fonts.medium, Latin(options.title), plot.center().x(), rect.top() + 20,
       Qt::AlignHCenter);
  double fmin = HUGE_VAL, fmax = 0.0;
  for (const Trace& trace : traces) {
    if (trace.frequenciesHz.size() < 2) continue;
    fmin = std::min(fmin, trace.frequenciesHz.front());
    fmax = std::max(fmax, trace.frequenciesHz.back());
  }
  if (!(fmin < fmax) || plot.width() < 10 || plot.height() < 10) {
    painter.restore();
    return;
  }
  const OverlayLevelAxis axis = OverlayLevels(traces, options.levelRangeDb);
  DrawLevelAxis(painter, plot, fonts, axis);
  DrawFrequencyAxis(painter, plot, fonts, fmin, fmax);

  painter.save();
  painter.setClipRect(plot);
  painter.setRenderHint(QPainter::Antialiasing, true);
  const double logSpan = std::log(fmax / fmin);
  const double levelSpan = axis.topDb - axis.bottomDb;
  for (std::size_t t = 0; t < traces.size(); ++t) {
    const Trace& trace = traces[t];
    const bool result = options.lastIsResult && t + 1 == traces.size();
    painter.setPen(TracePen(t, result, options.lastIsResult));
    QPolygonF line;
    const auto flush = [&] {
      if (line.size() > 1) painter.drawPolyline(line);
      line.clear();
    };
    for (std::size_t k = 0; k < trace.frequenciesHz.size() && k < trace.levelsDb.size(); ++k) {
      const double db = trace.levelsDb[k];
      if (!std::isfinite(db)) {
        flush();
        continue;
      }
      // far below the axis the line is held just under it: no coordinates out of range
      const double y =
          plot.bottom() - std::clamp((db - axis.bottomDb) / levelSpan, -1.0, 2.0) * plot.height();
      line << QPointF(
          plot.left() + std::log(trace.frequenciesHz[k] / fmin) / logSpan * plot.width(), y);
    }
    flush();
  }
  painter.restore();
  painter.setPen(QPen(Qt::black, 1));
  painter.drawRect(plot);

  // the legend: a line sample and the name of each trace, as many as there is room for
  const double left = plot.right() + 28;
  const int nameWidth = rect.right() - static_cast<int>(left) - 40;
  const std::size_t rows =
      static_cast<std::size_t>(std::max(1.0, (plot.height() - kLegendRow) / kLegendRow));
  double baseline = plot.top() + 10;
  for (std::size_t t = 0; t < traces.size(); ++t, baseline += kLegendRow) {
    if (t + 1 == rows && traces.size() > rows) {
      Text(painter, fonts.small, Latin("+" + std::to_string(traces.size() - t) + " more"),
           left + 34, baseline, Qt::AlignLeft);
      break;
    }
    const bool result = options.lastIsResult && t + 1 == traces.size();
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setPen(TracePen(t, result, options.lastIsResult));
    painter.drawLine(QPointF(left, baseline - 4), QPointF(left + 26, baseline - 4));
    painter.restore();
    Text(painter, fonts.small, Fitted(fonts.small, traces[t].name, nameWidth), left + 34, baseline,
         Qt::AlignLeft);
  }
  painter.restore();
}

Result<void> SaveOverlayPicture(const std::string& path, std::span<const Trace> traces,
                                const OverlayPictureOptions& options) {
  const auto fail = [](const std::string& words) -> Result<void> {
    return Failure{kMsgCannotSaveFile + ("\n" + words)};
  };
  QImage image(kOverlayPictureWidth, kOverlayPictureHeight, QImage::Format_RGB32);
  if (image.isNull()) return fail(path + ": the picture cannot be made");
  image.setDotsPerMeterX(kPngDotsPerMetre);
  image.setDotsPerMeterY(kPngDotsPerMetre);
  {
    QPainter painter(&image);
    PaintOverlay(painter, QRect(0, 0, kOverlayPictureWidth, kOverlayPictureHeight), traces,
                 options);
  }
  if (const Result<void> png = WritePngWhole(image, path); !png) return fail(png.Message());
  return {};
}

}  // namespace quorvel

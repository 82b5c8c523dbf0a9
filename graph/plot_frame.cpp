// The response plots' shared drawing: frame, grid, axes, labels, level bar and the PNG file.
#include "graph/plot_frame.h"

#include <QBuffer>
#include <QByteArray>
#include <QFontMetrics>
#include <QImage>
#include <QPointF>
#include <QPolygonF>
#include <algorithm>

#include "base/atomic_file.h"
#include "base/messages.h"
#include "base/number_text.h"
#include "graph/graph_resources.h"
#include "graph/graph_scales.h"
#include "graph/graphical.h"
#include "graph/plot_colours.h"

namespace quorvel {

namespace {

constexpr int kPngDotsPerMetre = 2777;  // as the curve pictures carry it

QString Latin1(const std::string& text) {
  return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

PlotFonts MakePlotFonts() {
  return {MakeCellFont(kGraphFace, 14, 6, 100), MakeCellFont(kGraphFace, 16, 8, 100)};
}

QColor PlotColour(int index) {
  return QColor::fromRgb(PaletteColor(index));
}

QPen PlotPen(int index) {
  return PlotPen(PlotColour(index));
}

QPen PlotPen(const QColor& colour, double width, Qt::PenStyle style) {
  return QPen(colour, width, style, Qt::FlatCap, Qt::MiterJoin);
}

void PlotText(QPainter& painter, const QFont& font, const QColor& colour, const std::string& text,
              double x, double baseline, Align align) {
  const QString q = Latin1(text);
  double left = x;
  if (align != Align::kLeft) {
    const double width = QFontMetrics(font).horizontalAdvance(q);
    left -= align == Align::kCenter ? width / 2.0 : width;
  }
  painter.setFont(font);
  painter.setPen(PlotPen(colour));
  painter.drawText(QPointF(left, baseline), q);
}

void PlotUpwardText(QPainter& painter, const QFont& font, const QColor& colour,
                    const std::string& text, double x, double middleY) {
  painter.save();
  painter.translate(x, middleY);
  painter.rotate(-90.0);
  PlotText(painter, font, colour, text, 0.0, 0.0, Align::kCenter);
  painter.restore();
}

QRectF DrawPlotFrame(QPainter& painter, const QRect& rect, const PlotFonts& fonts,
                     const std::string& title, const std::vector<LegendEntry>& legend,
                     bool withLegend) {
  painter.setPen(PlotPen(kColorFrame));
  painter.setBrush(PlotColour(kColorBackground));
  painter.drawRect(QRectF(rect).adjusted(0.5, 0.5, -0.5, -0.5));
  painter.setBrush(Qt::NoBrush);
  const double titleRow = rect.top() + 18.0;
  // the title gives way to the legend where both do not fit on the row (a narrow window):
  // it is cut with an ellipsis, the legend names every curve
  const QFontMetrics small(fonts.small);
  double legendWidth = 0.0;
  for (const LegendEntry& entry : legend) {
    if (withLegend) legendWidth += small.horizontalAdvance(Latin1(entry.text)) + 4 + 14 + 14;
  }
  const double titleRoom =
      rect.width() - kPlotMarginLeft - kPlotMarginRight - legendWidth - (withLegend ? 8.0 : 0.0);
  const QFontMetrics medium(fonts.medium);
  std::string shownTitle = title;
  if (medium.horizontalAdvance(Latin1(shownTitle)) > titleRoom) {
    while (!shownTitle.empty() &&
           medium.horizontalAdvance(Latin1(shownTitle + "...")) > titleRoom) {
      shownTitle.pop_back();
    }
    shownTitle += "...";
  }
  PlotText(painter, fonts.medium, PlotColour(kColorCaption), shownTitle,
           rect.left() + kPlotMarginLeft, titleRow, Align::kLeft);
  // the legend from the right, each entry in its curve's colour after a stretch of its pen
  double x = rect.right() - kPlotMarginRight;
  for (auto it = legend.rbegin(); withLegend && it != legend.rend(); ++it) {
    PlotText(painter, fonts.small, it->textColour.isValid() ? it->textColour : it->pen.color(),
             it->text, x, titleRow, Align::kRight);
    x -= QFontMetrics(fonts.small).horizontalAdvance(Latin1(it->text)) + 4;
    painter.setPen(it->pen);
    painter.drawLine(QPointF(x - 14, titleRow - 4), QPointF(x, titleRow - 4));
    x -= 14 + 14;
  }
  return QRectF(rect).adjusted(kPlotMarginLeft, kPlotMarginTop, -kPlotMarginRight,
                               -kPlotMarginBottom);
}

void DrawPlotRows(QPainter& painter, const QRectF& plot, const PlotFonts& fonts, int divisions,
                  const std::vector<std::string>& left, const std::vector<std::string>& right) {
  const double step = plot.height() / divisions;
  const QColor label = PlotColour(kColorPlotLabel);
  for (int i = 0; i <= divisions; ++i) {
    const double y = plot.bottom() - i * step;
    if (i < divisions) {
      painter.setPen(PlotPen(kColorMinorGrid));
      painter.drawLine(QPointF(plot.left(), y - step / 2), QPointF(plot.right(), y - step / 2));
    }
    if (i > 0 && i < divisions) {
      painter.setPen(PlotPen(kColorMajorGrid));
      painter.drawLine(QPointF(plot.left(), y), QPointF(plot.right(), y));
    }
    painter.setPen(PlotPen(kColorFrame));
    painter.drawLine(QPointF(plot.left() - 5, y), QPointF(plot.left(), y));
    const double baseline = y + 4;
    const auto at = static_cast<size_t>(i);
    if (at < left.size()) {
      PlotText(painter, fonts.small, label, left[at], plot.left() - 7, baseline, Align::kRight);
    }
    if (at < right.size()) {
      PlotText(painter, fonts.small, label, right[at], plot.right() + 7, baseline, Align::kLeft);
    }
  }
}

void DrawPlotAxes(QPainter& painter, const QRectF& plot) {
  painter.setBrush(Qt::NoBrush);
  painter.setPen(PlotPen(kColorFrame));
  painter.drawRect(plot);
  painter.setPen(QPen(Qt::black, 1));
  painter.drawLine(plot.bottomLeft(), plot.bottomRight());
  painter.drawLine(plot.bottomLeft(), plot.topLeft());
}

double FrequencyX(const QRectF& plot, double f, double fmin, double fmax) {
  return plot.left() + std::log(f / fmin) / std::log(fmax / fmin) * plot.width();
}

double ColumnFrequency(const QRectF& plot, double x, double fmin, double fmax) {
  return fmin * std::pow(fmax / fmin, (x - plot.left()) / plot.width());
}

void DrawFrequencyAxis(QPainter& painter, const QRectF& plot, const PlotFonts& fonts, double fmin,
                       double fmax) {
  FrequencyTick ticks[kMaxFrequencyTicks];
  const int count = BuildFrequencyTicks(fmin, fmax, ticks);
  const QColor label = PlotColour(kColorPlotLabel);
  double labelEnd = -HUGE_VAL;
  for (int i = 0; i < count; ++i) {
    const double x = FrequencyX(plot, ticks[i].frequency, fmin, fmax);
    if (x > plot.left() + 0.5) {
      painter.setPen(PlotPen(ticks[i].decadeStart ? kColorMajorGrid : kColorMinorGrid));
      painter.drawLine(QPointF(x, plot.top()), QPointF(x, plot.bottom()));
    }
    painter.setPen(QPen(Qt::black, 1));
    painter.drawLine(QPointF(x, plot.bottom()),
                     QPointF(x, plot.bottom() + (ticks[i].decadeStart ? 6 : 3)));
    if (!ticks[i].labelled) continue;
    const std::string text = CGraphical::FormatAxisNumber(6, ticks[i].frequency);
    const double half = QFontMetrics(fonts.small).horizontalAdvance(Latin1(text)) / 2.0;
    if (x - half < labelEnd + 4.0) continue;
    PlotText(painter, fonts.small, label, text, x, plot.bottom() + 17, Align::kCenter);
    labelEnd = x + half;
  }
  PlotText(painter, fonts.small, label, "Hz", plot.right() + 21, plot.bottom() + 17, Align::kLeft);
}

void DrawFrequencyCurve(QPainter& painter, const QRectF& plot, const QPen& pen, double fmin,
                        double fmax, const std::function<double(double)>& value,
                        const std::function<double(double)>& toY, double breakAt) {
  painter.setPen(pen);
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

std::vector<std::string> AxisLabels(double bottom, double step, int divisions, const char* unit) {
  std::vector<std::string> labels;
  for (int i = 0; i <= divisions; ++i) {
    labels.push_back(CGraphical::FormatAxisNumber(6, bottom + i * step) + unit);
  }
  return labels;
}

double NiceStep(double least) {
  const double power = std::pow(10.0, std::floor(std::log10(least)));
  for (const double m : {1.0, 2.0, 5.0, 10.0}) {
    // a step that is already round stays itself despite the rounding of its quotient
    if (m * power >= least * (1.0 - 1e-12)) return m * power;
  }
  return 10.0 * power;
}

void DrawLevelBar(QPainter& painter, const QRectF& rect, const PlotFonts& fonts, double bottomDb,
                  double topDb, double stepDb) {
  const int rows = std::max(1, static_cast<int>(rect.height()));
  for (int i = 0; i < rows; ++i) {
    painter.fillRect(QRectF(rect.left(), rect.bottom() - i - 1, rect.width(), 1),
                     LevelScaleColour((i + 0.5) / rows));
  }
  painter.setPen(PlotPen(kColorFrame));
  painter.drawRect(rect);
  const QColor label = PlotColour(kColorPlotLabel);
  for (double db = bottomDb; db <= topDb + 1e-9; db += stepDb) {
    const double y = rect.bottom() - (db - bottomDb) / (topDb - bottomDb) * rect.height();
    painter.setPen(QPen(Qt::black, 1));
    painter.drawLine(QPointF(rect.right(), y), QPointF(rect.right() + 3, y));
    PlotText(painter, fonts.small, label, CGraphical::FormatAxisNumber(6, db), rect.right() + 5,
             y + 4, Align::kLeft);
  }
}

Result<void> WritePngWhole(const QImage& image, const std::string& path) {
  // encoded in memory, then written whole: a save straight to a file reports no failed write
  QByteArray encoded;
  QBuffer buffer(&encoded);
  if (!buffer.open(QIODevice::WriteOnly) || !image.save(&buffer, "PNG")) {
    return Failure{path + ": the picture cannot be encoded as PNG"};
  }
  return WriteWholeFile(path, encoded.constData(), static_cast<size_t>(encoded.size()));
}

Result<void> SavePlotPicture(const std::string& path, int width, int height,
                             const std::function<void(QPainter&)>& paint) {
  const auto fail = [](const std::string& words) -> Result<void> {
    return Failure{words.empty() ? std::string(kMsgCannotSaveFile)
                                 : kMsgCannotSaveFile + ("\n" + words)};
  };
  QImage image(width, height, QImage::Format_RGB32);
  if (image.isNull()) return fail(path + ": the picture cannot be made");
  image.setDotsPerMeterX(kPngDotsPerMetre);
  image.setDotsPerMeterY(kPngDotsPerMetre);
  image.fill(PlotColour(kColorBackground));
  {
    QPainter painter(&image);
    paint(painter);
  }
  if (const Result<void> png = WritePngWhole(image, path); !png) return fail(png.Message());
  return {};
}

}  // namespace quorvel

// The workbench plot drawn with QPainter, and its PNG picture.
#include "graph/plot_painter.h"

#include <QColor>
#include <QFont>
#include <QFontMetricsF>
#include <QPen>
#include <QPolygonF>
#include <QString>
#include <algorithm>

#include "base/messages.h"
#include "graph/dialog_font.h"
#include "graph/graph_resources.h"
#include "graph/plot_cursor.h"
#include "graph/plot_frame.h"
#include "graph/plot_ticks.h"

namespace quorvel {

namespace {

// The layout [logical pixels].
constexpr double kMarginLeft = 46.0;    // the level labels
constexpr double kMarginTop = 20.0;     // "dB" above them
constexpr double kMarginBottom = 24.0;  // the frequency labels
constexpr double kMarginRight = 30.0;   // half the last frequency label, then "Hz"
constexpr double kMarginPhase = 42.0;   // the phase labels instead
constexpr double kLegendGap = 10.0;
constexpr double kLegendLeast = 100.0;
constexpr double kLegendMost = 220.0;  // and at most a quarter of the width
constexpr double kLegendRow = 15.0;
constexpr double kSwatch = 24.0;  // a legend entry's line sample
constexpr double kTick = 4.0;
constexpr double kHzOffset = 12.0;  // "Hz" after the area's right edge, in the labels' row
constexpr double kLabelGap = 6.0;   // between frequency labels
constexpr double kTraceWidth = 1.5;
constexpr double kPhaseWidth = 1.0;
constexpr double kFaintOpacity = 0.35;  // a trace below its valid frequency
constexpr double kPhaseOpacity = 0.7;
constexpr double kFarOff = 1e4;  // [pixels] beyond the area: where a far point is clamped
constexpr int kMonoPixels = 11;
constexpr int kPngDotsPerMetre = 2777;  // as the curve pictures carry it, at 1x

// The fixed light look.
const QColor kBackground(255, 255, 255);
const QColor kFrame(128, 128, 128);
const QColor kMinorGrid(230, 230, 230);
const QColor kMajorGrid(190, 190, 190);
const QColor kText(32, 32, 32);
const QColor kCursor(64, 64, 64);
const QColor kBoxLine(32, 96, 192);
const QColor kBoxFill(32, 96, 192, 40);
const QColor kReadoutFill(255, 255, 255, 235);

QString Text(const std::string& s) {
  return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

// A trace's colour laid over the white background with the given opacity, itself opaque: the
// overlapping ends of a line's segments do not darken it.
QColor Colour(const TraceRgb& c, double opacity = 1.0) {
  const auto over = [opacity](uint8_t v) {
    return static_cast<int>(std::lround(255.0 - opacity * (255.0 - v)));
  };
  return {over(c.red), over(c.green), over(c.blue)};
}

// A trace's line is drawn as separate straight segments (the raster engine strokes a long
// polyline of a line wider than one device pixel many times slower), dashed here rather than by
// the pen, with square caps that close the joints. Lengths of line and gap [logical pixels],
// less and more the caps' extent.
struct Dashes {
  double on = HUGE_VAL;
  double off = 0.0;
};
Dashes DashesOf(TraceLineStyle style, double width) {
  if (style == TraceLineStyle::kDashed) return {7.0 - width, 3.5 + width};
  if (style == TraceLineStyle::kDotted) return {0.01, 2.5 + width};  // square dots
  return {};
}

void AppendSegments(const QPolygonF& points, const Dashes& dashes, QVector<QLineF>& segments) {
  bool on = true;
  double left = dashes.on;  // of the current dash or gap
  for (qsizetype k = 1; k < points.size(); ++k) {
    const QLineF line(points[k - 1], points[k]);
    if (!std::isfinite(dashes.on)) {
      segments.append(line);
      continue;
    }
    const double length = line.length();
    for (double t = 0.0; t < length;) {
      const double step = std::min(left, length - t);
      if (on) segments.append(QLineF(line.pointAt(t / length), line.pointAt((t + step) / length)));
      t += step;
      left -= step;
      if (left <= 0.0) {
        on = !on;
        left = on ? dashes.on : dashes.off;
      }
    }
  }
}

void DrawTraceLine(QPainter& painter, const PlotTrace& trace, const QPolygonF& points, double width,
                   double opacity) {
  QVector<QLineF> segments;
  AppendSegments(points, DashesOf(trace.style, width), segments);
  painter.setPen(
      QPen(Colour(trace.colour, opacity), width, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin));
  painter.drawLines(segments);
}

QFont MonoFont() {
  QFont font{QString::fromLatin1(kGraphFace)};
  font.setStyleHint(QFont::Monospace);
  font.setPixelSize(kMonoPixels);
  return font;
}

QRectF AreaRect(const PlotArea& a) {
  return {a.left, a.top, a.width, a.height};
}

void DrawText(QPainter& painter, const QString& text, double x, double baseline, double align) {
  const double width = QFontMetricsF(painter.font()).horizontalAdvance(text);
  painter.drawText(QPointF(x - align * width, baseline), text);
}

// The grid lines, the frame and every label.
void DrawGrid(QPainter& painter, const PlotArea& area, const CPlotView& view,
              const PlotScene& scene) {
  const QFontMetricsF metrics(painter.font());
  const double half = metrics.capHeight() / 2.0;
  const double right = area.left + area.width;
  const double bottom = area.top + area.height;
  const std::vector<PlotTick> frequency = FrequencyTicks(
      view, area, [&](const std::string& s) { return metrics.horizontalAdvance(Text(s)); },
      kLabelGap, area.left - kMarginLeft / 2.0, right + kHzOffset - 2.0);
  const std::vector<PlotTick> level = LevelTicks(view, area, metrics.height());
  const std::vector<PlotTick> phase =
      scene.showPhase ? PhaseTicks(view, area, metrics.height()) : std::vector<PlotTick>();
  painter.setRenderHint(QPainter::Antialiasing, false);
  for (const PlotTick& t : frequency) {
    painter.setPen(QPen(t.major ? kMajorGrid : kMinorGrid, 1.0));
    painter.drawLine(QPointF(t.pixel, area.top), QPointF(t.pixel, bottom));
  }
  for (const PlotTick& t : level) {
    painter.setPen(QPen(t.label.empty() ? kMinorGrid : kMajorGrid, 1.0));
    painter.drawLine(QPointF(area.left, t.pixel), QPointF(right, t.pixel));
  }
  painter.setPen(QPen(kFrame, 1.0));
  painter.drawRect(AreaRect(area));
  for (const PlotTick& t : frequency) {
    painter.drawLine(QPointF(t.pixel, bottom), QPointF(t.pixel, bottom + kTick));
  }
  for (const PlotTick& t : level) {
    painter.drawLine(QPointF(area.left - kTick, t.pixel), QPointF(area.left, t.pixel));
  }
  for (const PlotTick& t : phase) {
    painter.drawLine(QPointF(right, t.pixel), QPointF(right + kTick, t.pixel));
  }
  painter.setRenderHint(QPainter::Antialiasing, true);
  painter.setPen(kText);
  const double labelBaseline = bottom + kTick + 2.0 + metrics.ascent();
  for (const PlotTick& t : frequency) {
    if (!t.label.empty()) DrawText(painter, Text(t.label), t.pixel, labelBaseline, 0.5);
  }
  DrawText(painter, QStringLiteral("Hz"), right + kHzOffset, labelBaseline, 0.0);
  for (const PlotTick& t : level) {
    if (!t.label.empty())
      DrawText(painter, Text(t.label), area.left - kTick - 2.0, t.pixel + half, 1.0);
  }
  // Above the level labels, moved right as far as a wider unit ("dB SPL") needs to stay in view.
  const QString unit = Text(scene.levelUnit);
  const double unitRight = std::max(
      area.left - kTick - 2.0, area.left - kMarginLeft + 2.0 + metrics.horizontalAdvance(unit));
  DrawText(painter, unit, unitRight, area.top - half - 6.0, 1.0);
  for (const PlotTick& t : phase) {
    if (!t.label.empty()) {
      DrawText(painter, Text(t.label) + QChar(0x00B0), right + kTick + 2.0, t.pixel + half, 0.0);
    }
  }
}

// One trace's values as runs of points: broken where a value is missing (or, for a phase,
// where it wraps), and where the trace crosses its valid frequency; faint runs below it.
struct Run {
  QPolygonF points;
  bool faint = false;
};
std::vector<Run> TraceRuns(const PlotTrace& trace, std::span<const double> values,
                           const PlotArea& area, const CPlotView& view, bool phase) {
  std::vector<Run> runs;
  const std::span<const double> f = trace.frequenciesHz;
  if (values.size() != f.size()) return runs;
  const PlotRange shown = view.Frequency();
  // the points from the last below the view to the first above it
  const size_t first = static_cast<size_t>(
      std::max<std::ptrdiff_t>(0, std::lower_bound(f.begin(), f.end(), shown.low) - f.begin() - 1));
  const size_t end = std::min(
      f.size(),
      static_cast<size_t>(std::upper_bound(f.begin(), f.end(), shown.high) - f.begin()) + 1);
  // x of a frequency, with the logarithm of the view's range taken once
  const double logLow = std::log(shown.low);
  const double pixelsPerLog = area.width / (std::log(shown.high) - logLow);
  const auto x = [&](double hz) { return area.left + (std::log(hz) - logLow) * pixelsPerLog; };
  const auto y = [&](double v) {
    const double py = phase ? view.YOfPhase(area, v) : view.YOfLevel(area, v);
    return std::clamp(py, area.top - kFarOff, area.top + area.height + kFarOff);
  };
  Run run;
  double previous = NAN;
  double previousHz = NAN;
  const auto flush = [&] {
    if (run.points.size() > 1) runs.push_back(run);
    run.points.clear();
  };
  for (size_t i = first; i < end; ++i) {
    const double v = values[i];
    const double hz = f[i];
    if (!std::isfinite(v) || !(hz > 0.0) || (phase && std::fabs(v - previous) > 180.0)) {
      flush();
      previous = v;
      previousHz = hz;
      continue;
    }
    const bool faint = hz < trace.validAboveHz;
    if (faint != run.faint) {
      if (!run.points.isEmpty() && std::isfinite(previous)) {
        // both runs meet where the line crosses the valid frequency
        const double t = std::log(trace.validAboveHz / previousHz) / std::log(hz / previousHz);
        const QPointF at(x(trace.validAboveHz), y(previous + t * (v - previous)));
        run.points << at;
        flush();
        run.points << at;
      } else {
        flush();
      }
      run.faint = faint;
    }
    run.points << QPointF(x(hz), y(v));
    previous = v;
    previousHz = hz;
  }
  flush();
  return runs;
}

void DrawTraces(QPainter& painter, const PlotArea& area, const CPlotView& view,
                const PlotScene& scene) {
  painter.save();
  painter.setClipRect(AreaRect(area), Qt::IntersectClip);
  for (const PlotTrace& trace : scene.traces) {
    if (!trace.visible) continue;
    if (scene.showPhase && !trace.phasesDeg.empty()) {
      for (const Run& run : TraceRuns(trace, trace.phasesDeg, area, view, true)) {
        DrawTraceLine(painter, trace, run.points, kPhaseWidth,
                      kPhaseOpacity * (run.faint ? kFaintOpacity : 1.0));
      }
    }
    if (!scene.showLevel) continue;
    for (const Run& run : TraceRuns(trace, trace.levelsDb, area, view, false)) {
      DrawTraceLine(painter, trace, run.points, kTraceWidth, run.faint ? kFaintOpacity : 1.0);
    }
  }
  painter.restore();
}

void DrawLegend(QPainter& painter, const QRectF& legend, const PlotScene& scene) {
  const QFontMetricsF metrics(painter.font());
  const std::vector<std::string> lines = PlotLegendLines(scene);
  const auto rows = static_cast<size_t>(std::max(1.0, std::floor(legend.height() / kLegendRow)));
  double baseline = legend.top() + metrics.ascent();
  painter.setPen(kText);
  painter.drawText(QPointF(legend.left(), baseline),
                   metrics.elidedText(Text(lines[0]), Qt::ElideRight, legend.width()));
  size_t row = 1;
  const size_t shown = lines.size() - 1;
  for (const PlotTrace& trace : scene.traces) {
    if (!trace.visible) continue;
    baseline += kLegendRow;
    if (row + 1 >= rows && row < shown) {  // the last row left says how many more there are
      painter.setPen(kText);
      painter.drawText(QPointF(legend.left(), baseline),
                       QStringLiteral("+%1 more").arg(shown - row + 1));
      break;
    }
    // on a pixel row's centre, so that the sample shows its colour unblended
    const double middle = std::floor(baseline - metrics.capHeight() / 2.0) + 0.5;
    DrawTraceLine(painter, trace,
                  QPolygonF({QPointF(legend.left() + kTraceWidth / 2.0, middle),
                             QPointF(legend.left() + kSwatch - kTraceWidth / 2.0, middle)}),
                  kTraceWidth, 1.0);
    painter.setPen(kText);
    painter.drawText(
        QPointF(legend.left() + kSwatch + 6.0, baseline),
        metrics.elidedText(Text(trace.name), Qt::ElideRight, legend.width() - kSwatch - 6.0));
    ++row;
  }
}

// A value of the readout; the reference says that it is.
QString ReadoutText(const CursorValue& value) {
  return Text(CursorValueText(value) + (value.isReference ? " (ref)" : ""));
}

// The cursor's line across the area and its readout beside it, kept inside the area.
void DrawCursor(QPainter& painter, const PlotArea& area, const CPlotView& view,
                const PlotScene& scene) {
  const double at = view.XOfFrequency(area, scene.cursorHz);
  if (!std::isfinite(at) || at < area.left || at > area.left + area.width) return;
  const double x = std::floor(at) + 0.5;  // a sharp line on a pixel column's centre
  painter.save();
  painter.setClipRect(AreaRect(area), Qt::IntersectClip);
  painter.setPen(QPen(kCursor, 1.0, Qt::DashLine));
  painter.drawLine(QPointF(x, area.top), QPointF(x, area.top + area.height));
  const CursorReadout readout = ReadCursor(scene.traces, scene.cursorHz, scene.referenceTrace);
  const QFont mono = MonoFont();
  const QFontMetricsF names(painter.font());
  const QFontMetricsF values(mono);
  const double nameMost = 14.0 * values.averageCharWidth();
  double nameWidth = 0.0;
  double valueWidth = values.horizontalAdvance(Text(CursorFrequencyText(scene.cursorHz)));
  for (const CursorValue& v : readout.values) {
    nameWidth = std::max(
        nameWidth, std::min(nameMost, names.horizontalAdvance(Text(scene.traces[v.trace].name))));
    valueWidth = std::max(valueWidth, values.horizontalAdvance(ReadoutText(v)));
  }
  const double pad = 4.0;
  const double row = std::max(names.height(), values.height());
  const size_t fit = static_cast<size_t>(std::max(0.0, (area.height - 2 * pad - 8.0) / row));
  const size_t count = std::min(readout.values.size() + 1, fit);
  if (count == 0) {
    painter.restore();
    return;
  }
  const double width = 2 * pad + 14.0 + nameWidth + 8.0 + valueWidth;
  const double height = 2 * pad + static_cast<double>(count) * row;
  double left = x + 8.0;
  if (left + width > area.left + area.width) left = std::max(area.left, x - 8.0 - width);
  const QRectF box(left, area.top + 4.0, width, height);
  painter.setPen(QPen(kFrame, 1.0));
  painter.setBrush(kReadoutFill);
  painter.drawRect(box);
  painter.setBrush(Qt::NoBrush);
  double baseline = box.top() + pad + values.ascent();
  painter.setPen(kText);
  painter.setFont(mono);
  painter.drawText(QPointF(box.left() + pad, baseline), Text(CursorFrequencyText(scene.cursorHz)));
  for (size_t i = 0; i + 1 < count; ++i) {
    const CursorValue& v = readout.values[i];
    const PlotTrace& trace = scene.traces[v.trace];
    baseline += row;
    const double middle = baseline - values.capHeight() / 2.0;
    painter.setPen(QPen(Colour(trace.colour), 3.0));
    painter.drawLine(QPointF(box.left() + pad, middle), QPointF(box.left() + pad + 10.0, middle));
    painter.setPen(kText);
    painter.setFont(DialogFont());
    painter.drawText(QPointF(box.left() + pad + 14.0, baseline),
                     names.elidedText(Text(trace.name), Qt::ElideRight, nameWidth));
    painter.setFont(mono);
    DrawText(painter, ReadoutText(v), box.right() - pad, baseline, 1.0);
  }
  painter.restore();
}

void DrawZoomBox(QPainter& painter, const PlotArea& area, const QRectF& box) {
  const QRectF shown = box.normalized().intersected(AreaRect(area));
  if (shown.isEmpty()) return;
  painter.setPen(QPen(kBoxLine, 1.0, Qt::DashLine));
  painter.setBrush(kBoxFill);
  painter.drawRect(shown);
  painter.setBrush(Qt::NoBrush);
}

}  // namespace

PlotLayout LayoutPlot(const QRect& rect, const PlotScene& scene) {
  PlotLayout layout;
  double right = rect.left() + rect.width() - (scene.showPhase ? kMarginPhase : kMarginRight);
  if (!scene.traces.empty()) {
    const QFontMetricsF metrics(DialogFont());
    double widest = 0.0;
    for (const std::string& line : PlotLegendLines(scene)) {
      widest = std::max(widest, metrics.horizontalAdvance(Text(line)));
    }
    for (const PlotTrace& trace : scene.traces) {  // hidden ones too: showing one moves nothing
      widest = std::max(widest, kSwatch + 6.0 + metrics.horizontalAdvance(Text(trace.name)));
    }
    const double width =
        std::clamp(std::ceil(widest), kLegendLeast,
                   std::max(kLegendLeast, std::min(kLegendMost, rect.width() / 4.0)));
    layout.legend = QRectF(rect.left() + rect.width() - 6.0 - width, rect.top() + kMarginTop - 8.0,
                           width, rect.height() - kMarginTop + 8.0 - kMarginBottom);
    right = layout.legend.left() - kLegendGap - (scene.showPhase ? kMarginPhase : kMarginRight);
  }
  const double left = rect.left() + kMarginLeft;
  const double top = rect.top() + kMarginTop;
  layout.area = {left, top, std::max(1.0, right - left),
                 std::max(1.0, rect.top() + rect.height() - kMarginBottom - top)};
  return layout;
}

std::vector<std::string> PlotLegendLines(const PlotScene& scene) {
  std::vector<std::string> lines{!scene.heading.empty()    ? scene.heading
                                 : scene.smoothing.empty() ? std::string("No smoothing")
                                                           : "Smoothing: " + scene.smoothing};
  for (const PlotTrace& trace : scene.traces) {
    if (trace.visible) lines.push_back(trace.name);
  }
  return lines;
}

void PaintPlot(QPainter& painter, const QRect& rect, const CPlotView& view,
               const PlotScene& scene) {
  painter.save();
  painter.setClipRect(rect, Qt::IntersectClip);
  painter.setRenderHint(QPainter::TextAntialiasing, true);
  painter.fillRect(rect, kBackground);
  painter.setFont(DialogFont());
  const PlotLayout layout = LayoutPlot(rect, scene);
  const PlotArea& area = layout.area;
  DrawGrid(painter, area, view, scene);
  painter.setRenderHint(QPainter::Antialiasing, true);
  DrawTraces(painter, area, view, scene);
  if (!layout.legend.isEmpty()) DrawLegend(painter, layout.legend, scene);
  if (std::isfinite(scene.cursorHz)) DrawCursor(painter, area, view, scene);
  if (scene.hasZoomBox) DrawZoomBox(painter, area, scene.zoomBox);
  painter.restore();
}

QImage RenderPlotImage(const CPlotView& view, const PlotScene& scene, const QSize& size,
                       double devicePixelRatio) {
  if (size.isEmpty() || !(devicePixelRatio > 0.0) || devicePixelRatio > 8.0) return {};
  QImage image(static_cast<int>(std::lround(size.width() * devicePixelRatio)),
               static_cast<int>(std::lround(size.height() * devicePixelRatio)),
               QImage::Format_RGB32);
  if (image.isNull()) return image;
  image.setDevicePixelRatio(devicePixelRatio);
  const int dotsPerMetre = static_cast<int>(std::lround(kPngDotsPerMetre * devicePixelRatio));
  image.setDotsPerMeterX(dotsPerMetre);
  image.setDotsPerMeterY(dotsPerMetre);
  image.fill(kBackground);
  QPainter painter(&image);
  PaintPlot(painter, QRect(QPoint(0, 0), size), view, scene);
  return image;
}

Result<void> SavePlotPicture(const std::string& path, const CPlotView& view, const PlotScene& scene,
                             const QSize& size, double devicePixelRatio) {
  const auto fail = [](const std::string& words) -> Result<void> {
    return Failure{kMsgCannotSaveFile + ("\n" + words)};
  };
  const QImage image = RenderPlotImage(view, scene, size, devicePixelRatio);
  if (image.isNull()) return fail(path + ": the picture cannot be made");
  if (const Result<void> png = WritePngWhole(image, path); !png) return fail(png.Message());
  return {};
}

}  // namespace quorvel

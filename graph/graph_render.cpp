// The drawing of the response graph: PaintGraph with its grid, level labels, curve, marker and
// caption, drawn into the off-screen RGB32 picture or onto a window's canvas; and SaveCurveImage.
// User-interface thread only. The picture is drawn without antialiasing: lines and rectangles
// go straight into its pixels (graph/pixel_canvas.h), texts through QPainter with fonts that
// have antialiasing switched off.
#include <QPainter>
#include <QString>
#include <algorithm>
#include <cmath>
#include <cstring>

#include "base/point_frequency.h"
#include "base/shared_state.h"
#include "graph/curve_image_export.h"
#include "graph/graph_caption.h"
#include "graph/graph_resources.h"
#include "graph/graph_scales.h"
#include "graph/graphical.h"
#include "graph/pixel_canvas.h"

namespace quorvel {

namespace {

constexpr QRgb kBlack = qRgb(0, 0, 0);

using Align = CGraphCanvas::Align;

QString Latin(const std::string& text) {
  return QString::fromLatin1(text.data(), text.size());
}

// A curve's 0xRRGGBB as the picture's colour.
QRgb CurveColour(uint32_t rgb) {
  return qRgb(static_cast<int>((rgb >> 16) & 0xff), static_cast<int>((rgb >> 8) & 0xff),
              static_cast<int>(rgb & 0xff));
}

}  // namespace

CGraphical::View CGraphical::SharedView() const {
  return View{m_shared.m_fmin, m_shared.m_fmax, m_shared.m_curveFmin, m_shared.m_curveFmax};
}

bool CGraphical::PaintGraph(int width, int height) {
  return PaintGraph(width, height, SharedView());
}

bool CGraphical::PaintGraph(int width, int height, const View& view) {
  if (width <= 0 || height <= 0) return false;  // no graph area: nothing to draw
  CGraphResources& resources = GraphResources(*this);
  if (resources.m_bitmap.isNull()) {
    // made once, at the size of the first paint
    resources.m_bitmap = QImage(width, height, QImage::Format_RGB32);
    if (resources.m_bitmap.isNull()) return false;
  }
  QPainter painter(&resources.m_bitmap);
  painter.setRenderHint(QPainter::Antialiasing, false);
  painter.setRenderHint(QPainter::TextAntialiasing, false);
  painter.setBackgroundMode(Qt::TransparentMode);
  CPixelCanvas canvas(resources.m_bitmap, height, &painter);
  return PaintGraph(canvas, width, height, view);
}

bool CGraphical::PaintGraph(CGraphCanvas& canvas, int width, int height) {
  return PaintGraph(canvas, width, height, SharedView());
}

bool CGraphical::PaintGraph(CGraphCanvas& canvas, int width, int height, const View& view) {
  if (width <= 0 || height <= 0) return false;
  CGraphResources& resources = GraphResources(*this);
  m_rect = Rect{0, 0, width, height};
  m_width = width;
  m_height = height;
  resources.m_canvas = &canvas;

  DrawGrid(view.fmin, view.fmax);
  TakeLivePoints(view);
  // the finished curves first, in their order, and the live one over them
  for (const Curve& curve : m_curves) {
    if (!curve.live) DrawCurveBehind(curve, view);
  }
  for (const Curve& curve : m_curves) {
    if (curve.live) DrawLiveCurve(curve, view);
  }

  // the caption, centred at the top
  const std::string shown = view.caption != nullptr ? *view.caption : GraphCaption(m_shared);
  if (!shown.empty() && shown.size() <= kMaxCaptionLength) {
    const QString text = QString::fromUtf8(shown.data(), static_cast<qsizetype>(shown.size()));
    const int ascent = QFontMetrics(resources.m_fontMedium).ascent();
    canvas.Text(resources.m_fontMedium, PaletteColor(kColorCaption), text, m_width / 2, 8 + ascent,
                Align::kCenter);
  }

  resources.m_canvas = nullptr;
  return true;
}

void CGraphical::DrawGrid(double fmin, double fmax) {
  CGraphResources& resources = *m_pResources;
  CGraphCanvas& canvas = *resources.m_canvas;
  const QRgb frame = PaletteColor(kColorFrame);
  const QRgb minor = PaletteColor(kColorMinorGrid);
  const QRgb major = PaletteColor(kColorMajorGrid);

  // 1. background and frame
  canvas.Rectangle(m_rect.left, m_rect.top, m_rect.right, m_rect.bottom, frame,
                   PaletteColor(kColorBackground));
  m_plotPoints = kPlotWidth;

  // 2. the grid needs at least about one decade
  if (!GridIsDrawable(fmin, fmax)) return;

  // 4. x axis with its arrow head
  canvas.LineH(kPlotLeft, kAxisHeight, 1049, kAxisHeight, kBlack);
  canvas.LineH(1043, 20, 1045, 20, kBlack);
  canvas.LineH(1043, 21, 1047, 21, kBlack);
  canvas.LineH(1043, 23, 1047, 23, kBlack);
  canvas.LineH(1043, 24, 1045, 24, kBlack);

  // 5. frequency ticks, labels and the vertical grid on multiples of fmin
  FrequencyTick ticks[kMaxFrequencyTicks];
  const int tickCount = BuildFrequencyTicks(fmin, fmax, ticks);
  const int labelRow = m_height - 8;
  int lastLabelX = -1;  // a decade's tenth multiple is the next decade's start: labelled once
  for (int i = 0; i < tickCount; ++i) {
    const FrequencyTick& tick = ticks[i];
    if (tick.decadeStart) {
      canvas.LineH(tick.x, kAxisHeight, tick.x, 16, kBlack);
    } else {
      canvas.LineH(tick.x, kAxisHeight, tick.x, 19, kBlack);
      canvas.LineH(tick.x, 23, tick.x, kPlotTop, minor);
    }
    if (tick.labelled && tick.x != lastLabelX) {
      lastLabelX = tick.x;
      canvas.Text(resources.m_fontSmall, kBlack, Latin(FormatAxisNumber(6, tick.frequency)), tick.x,
                  labelRow, Align::kCenter);
    }
  }

  // 6. y axis with its arrow head
  canvas.LineH(kPlotLeft, kAxisHeight, kPlotLeft, 441, kBlack);
  canvas.LineH(31, 435, 31, 437, kBlack);
  canvas.LineH(32, 435, 32, 439, kBlack);
  canvas.LineH(34, 435, 34, 439, kBlack);
  canvas.LineH(35, 435, 35, 437, kBlack);

  // 7. level ticks; 8. minor level lines
  for (int i = 0; i < kLevelRowCount; ++i) {
    const int h = LevelRowHeight(i);
    canvas.LineH(32, h, i % 3 == 0 ? 27 : 30, h, kBlack);
  }
  for (int i = 0; i < kLevelRowCount; ++i) {
    if (i % 3 == 0) continue;
    const int h = LevelRowHeight(i);
    canvas.LineH(34, h, kPlotRight, h, minor);
  }

  // 9. decade lines
  int decades[kMaxDecadeLines];
  const int decadeCount = BuildDecadeLines(fmin, fmax, decades);
  for (int i = 0; i < decadeCount; ++i) canvas.LineH(decades[i], 23, decades[i], kPlotTop, major);

  // 10. major level lines
  m_levelRows = 0;
  for (int i = 3; i < kLevelRowCount; i += 3) {
    const int h = LevelRowHeight(i);
    canvas.LineH(34, h, kPlotRight, h, major);
    ++m_levelRows;
  }

  // 11.
  DrawLevelLabels(m_levelBottom, m_levelTop);
}

void CGraphical::DrawLevelLabels(double bottom, double top) {
  CGraphResources& resources = *m_pResources;
  CGraphCanvas& canvas = *resources.m_canvas;
  const double step = m_levelRows > 0 ? (top - bottom) / m_levelRows : 0.0;
  double v = bottom;
  for (int i = 0; i < kLevelRowCount; ++i) {
    const int h = LevelRowHeight(i);
    if (i % 3 != 0) {
      canvas.LineH(32, h, 30, h, kBlack);
      continue;
    }
    canvas.LineH(32, h, 27, h, kBlack);
    char label[32];
    FormatLevelLabel(label, sizeof label, v);
    canvas.Text(resources.m_fontSmall, kBlack, QString::fromLatin1(label), 27, m_height - h + 4,
                Align::kRight);
    v += step;
  }
  canvas.Text(resources.m_fontSmall, kBlack, QStringLiteral("dB"), 38, m_height - 442,
              Align::kRight);
}

void CGraphical::TakeLivePoints(const View& view) {
  Curve& live = m_curves.front();
  live.fmin = view.curveFmin;
  live.fmax = view.curveFmax;
  live.rgb = PaletteColor(kColorCurve) & 0xffffff;
  // a copy first: the analysing thread may be adding points meanwhile
  live.levels.resize(kLastPoint + 1);
  if (m_shared.m_bSmoothing.load(std::memory_order_acquire) != 0) {
    std::copy(m_smoothed, m_smoothed + kLastPoint + 1, live.levels.begin());
  } else {
    for (int k = 0; k <= kLastPoint; ++k) {
      live.levels[static_cast<size_t>(k)] = m_points[k].load(std::memory_order_relaxed);
    }
  }
}

void CGraphical::DrawCurveBehind(const Curve& curve, const View& view) {
  CGraphCanvas& canvas = *m_pResources->m_canvas;
  // smoothed as the live curve is, so that they compare alike
  const bool smoothing = m_shared.m_bSmoothing.load(std::memory_order_acquire) != 0;
  double smoothed[kLastPoint + 1];
  const int count = static_cast<int>(curve.levels.size());
  if (count == 0 || !(curve.fmin > 0.0) || !(curve.fmax > curve.fmin)) return;
  const double* levels = curve.levels.data();
  if (smoothing && count == kLastPoint + 1) {
    SmoothLevels(levels, smoothed);
    levels = smoothed;
  }
  const QRgb colour = CurveColour(curve.rgb);
  // as the live curve: point step k at x = 32 + k, joined to the next; a silent point or a
  // frequency the curve does not cover leaves a gap
  bool joined = false;
  for (int k = 0; k < kPlotWidth; ++k) {
    const double f = PointFrequency(k, view.fmin, view.fmax);
    const int index = DisplayedCurveIndex(k, view.fmin, view.fmax, curve.fmin, curve.fmax);
    const bool covered =
        f >= curve.fmin * (1.0 - 1e-9) && f <= curve.fmax * (1.0 + 1e-9) && index < count;
    const double v = covered ? levels[index] : kEmptyLevel;
    if (!(v >= kNoSignalLevel)) {
      joined = false;
      continue;
    }
    const int x = PointToX(k);
    const int h = LevelToHeight(v);
    if (joined) {
      canvas.LineToH(x + 1, h, colour);
    } else {
      canvas.MoveToH(x, h);
      joined = true;
    }
  }
}

void CGraphical::DrawLiveCurve(const Curve& curve, const View& view) {
  if (UpdateHasCurve() == 0) return;
  if (curve.levels.size() != static_cast<size_t>(kLastPoint + 1)) return;
  CGraphResources& resources = *m_pResources;
  CGraphCanvas& canvas = *resources.m_canvas;

  const double* source = curve.levels.data();
  m_dbScale = kPixelsPerDb;
  const double fmin = view.fmin;
  const double fmax = view.fmax;
  const double curveFmin = curve.fmin;
  const double curveFmax = curve.fmax;

  // the marker: a vertical and a horizontal line meeting at the point
  bool markerDrawn = false;
  const int c = m_cursorIndex;
  if (c > 0 && c <= kLastPoint) {
    const double f = MarkerFrequency(c, fmin, fmax);
    if (fmin <= f && f <= fmax) {
      m_cursorFreq = f;
      const double v = source[c];
      if (v > kNoSignalLevel) {
        m_cursorLevel = v;
        const int h = LevelToHeightUnclamped(v);
        if (h > kAxisHeight) {
          const QRgb marker = PaletteColor(kColorMarker);
          canvas.MoveToH(c + 34, 23);
          canvas.LineToH(c + 34, h, marker);
          canvas.LineToH(kPlotLeft, h, marker);
          m_cursorY = h;
          markerDrawn = true;
        }
      }
    }
  }

  // the curve: point k at x = 32 + k; a point below -90 dB takes the pen to the x axis
  const QRgb colour = CurveColour(curve.rgb);
  const bool sameRange = curveFmin == fmin && curveFmax == fmax;
  for (int k = 0; k < kPlotWidth; ++k) {
    const int x = PointToX(k);
    const double v = source[k];
    if (!(v >= kNoSignalLevel)) {
      canvas.MoveToH(x, kAxisHeight);
      continue;
    }
    int h;
    if (sameRange) {
      h = LevelToHeight(v);
    } else {
      // the curve was measured over another range: show the measured point at this frequency
      const int measured = DisplayedCurveIndex(k, fmin, fmax, curveFmin, curveFmax);
      h = LevelToHeight(std::fmax(source[measured], kNoSignalLevel));
    }
    if (k <= 1) {
      canvas.MoveToH(x, h);
    } else {
      canvas.LineToH(x + 1, h, colour);
    }
  }

  if (markerDrawn) {
    const QRgb marker = PaletteColor(kColorMarker);
    canvas.Text(resources.m_fontMedium, marker,
                QString::fromStdString(MarkerFrequencyText(m_cursorFreq)), c + 52, m_height - 38,
                Align::kRight);
    canvas.Text(resources.m_fontMedium, marker,
                QString::fromStdString(MarkerLevelText(m_cursorLevel)), 40,
                m_height - (m_cursorY + 3), Align::kLeft);
  }
}

ImageSave CGraphical::SaveCurveImage(const std::string& path) {
  CurvePicture picture;
  picture.screen = SnapshotBitmap(*this);
  if (picture.screen.isNull()) return {};
  if (!ConvertToDib(picture)) return {};
  return SaveBitmapByExtension(path, picture);
}

}  // namespace quorvel

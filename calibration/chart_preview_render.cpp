// The chart preview's frame and curve, drawn like the response graph onto its canvas: lines
// into the picture's pixels (or the window's), texts without antialiasing.
#include "calibration/chart_preview_render.h"

#include <QString>
#include <cmath>
#include <vector>

#include "base/util.h"
#include "graph/graph_canvas.h"
#include "graph/graph_resources.h"
#include "graph/graphical.h"

namespace quorvel {

namespace {

constexpr QRgb kBlack = qRgb(0, 0, 0);
constexpr int kW = kPreviewPlotWidth;
constexpr int kH = kPreviewPlotHeight;
constexpr double kLowDb = -30.0;
constexpr double kHighDb = 20.0;
constexpr int kMajorLines = 5;

using Align = CGraphCanvas::Align;

QString Label(int width, double value) {
  return QString::fromStdString(CGraphical::FormatAxisNumber(width, value));
}

}  // namespace

int PreviewFrequencyX(double frequencyHz) {
  return 30 + static_cast<int>(250.0 * std::log10(frequencyHz / 20.0) + 0.5);
}

std::vector<PreviewLabel> PreviewFrequencyLabels() {
  std::vector<PreviewLabel> all;
  for (double s = 20.0; s <= 20000.001; s *= 10.0) {
    all.push_back({s, PreviewFrequencyX(s)});
    for (const int k : {2, 3, 4, 5, 7}) {
      if (k * s <= 20000.001) all.push_back({k * s, PreviewFrequencyX(k * s)});
    }
  }
  // from the right: a label that would come too near the next one kept gives way
  std::vector<PreviewLabel> kept;
  int nextLeft = 1 << 30;
  for (auto label = all.rbegin(); label != all.rend(); ++label) {
    const int advance = kPreviewLabelAdvance * static_cast<int>(Label(6, label->frequency).size());
    const int left = label->x - advance / 2;
    if (left + advance + kPreviewLabelAdvance / 2 > nextLeft) continue;
    kept.insert(kept.begin(), *label);
    nextLeft = left;
  }
  return kept;
}

void DrawPreviewFrame(CGraphCanvas& canvas, int width, int height,
                      const CGraphResources& resources) {
  if (width <= 0 || height <= 0) return;
  const int ch = height;
  const QRgb minor = PaletteColor(kColorMinorGrid);
  const QRgb major = PaletteColor(kColorMajorGrid);

  canvas.Rectangle(0, 0, width, ch, PaletteColor(kColorFrame), PaletteColor(kColorBackground));

  // frequency axis and its arrow head
  canvas.Line(30, ch - 22, kW + 46, ch - 22, kBlack);
  canvas.Line(kW + 40, ch - 20, kW + 42, ch - 20, kBlack);
  canvas.Line(kW + 40, ch - 21, kW + 44, ch - 21, kBlack);
  canvas.Line(kW + 40, ch - 23, kW + 44, ch - 23, kBlack);
  canvas.Line(kW + 40, ch - 24, kW + 42, ch - 24, kBlack);

  // decades from 20 Hz: major ticks, minor ticks with grid lines; then the labels
  for (double s = 20.0; s <= 20000.001; s *= 10.0) {
    const int xs = PreviewFrequencyX(s);
    canvas.Line(xs, ch - 22, xs, ch - 16, kBlack);
    for (int k = 2; k <= 10 && k * s <= 20000.001; ++k) {
      const int x = PreviewFrequencyX(k * s);
      canvas.Line(x, ch - 22, x, ch - 19, kBlack);
      canvas.Line(x, ch - 23, x, ch - kH - 22, minor);
    }
  }
  for (const PreviewLabel& label : PreviewFrequencyLabels()) {
    canvas.Text(resources.m_fontSmall, kBlack, Label(6, label.frequency), label.x, ch - 8,
                Align::kCenter);
  }

  // level axis and its arrow head
  canvas.Line(30, ch - 22, 30, ch - kH - 42, kBlack);
  const int t = ch - kH - 36;
  canvas.Line(28, t, 28, t - 2, kBlack);
  canvas.Line(29, t, 29, t - 4, kBlack);
  canvas.Line(31, t, 31, t - 4, kBlack);
  canvas.Line(32, t, 32, t - 2, kBlack);

  // minor and major level lines, decade lines at 200, 2000 and 20000 Hz
  for (int i = 1; i <= 25; ++i) {
    if (i % 5 != 0) canvas.Line(31, ch - 22 - 10 * i, kW + 30, ch - 22 - 10 * i, minor);
  }
  for (double f : {200.0, 2000.0, 20000.0}) {
    const int x = PreviewFrequencyX(f);
    canvas.Line(x, ch - 23, x, ch - kH - 22, major);
  }
  for (int i = 5; i <= 25; i += 5) {
    canvas.Line(31, ch - 22 - 10 * i, kW + 30, ch - 22 - 10 * i, major);
  }

  // level ticks and labels -30 .. 20 dB, 10 dB a major line
  const double step = (kHighDb - kLowDb) / kMajorLines;
  double v = kLowDb;
  for (int i = 0; i <= 25; ++i) {
    const int y = ch - 22 - 10 * i;
    canvas.Line(29, y, i % 5 == 0 ? 24 : 27, y, kBlack);
    if (i % 5 != 0) continue;
    canvas.Text(resources.m_fontSmall, kBlack, Label(8, CUtil::RoundForLabel(v)), 24, y + 4,
                Align::kRight);
    v += step;
  }
  canvas.Text(resources.m_fontSmall, kBlack, QStringLiteral("dB"), 35, ch - 293, Align::kRight);
}

bool DrawPreviewCurve(CGraphCanvas& canvas, int height,
                      const std::array<int, kPreviewRowEntries>& rows) {
  if (height <= 0 || !PreviewRowsValid(rows)) return false;
  const int ch = height;
  const QRgb red = PaletteColor(kColorCurve);
  // two pixels thick: the line through the rows and the same line one pixel higher
  canvas.MoveTo(29, ch - 22 - rows[0]);
  for (int i = 1; i < kW; ++i) canvas.LineTo(30 + i, ch - 22 - rows[static_cast<size_t>(i)], red);
  canvas.LineTo(781, ch - 22 - rows[kW - 1], red);
  canvas.MoveTo(30, ch - 23 - rows[0]);
  for (int i = 1; i <= kW; ++i) canvas.LineTo(30 + i, ch - 23 - rows[static_cast<size_t>(i)], red);
  canvas.LineTo(782, ch - 23 - rows[kW], red);
  return true;
}

}  // namespace quorvel

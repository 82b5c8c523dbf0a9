// The response graph's palette, pens, brushes and fonts, and the off-screen picture's accessors.
#include "graph/graph_resources.h"

#include <QFontMetrics>
#include <QFontMetricsF>
#include <cmath>
#include <utility>

#include "graph/graphical.h"

namespace quorvel {

namespace {

constexpr QRgb kPalette[CGraphResources::kPaletteSize] = {
    qRgb(255, 245, 220),  // 0 background
    qRgb(0, 0, 240),      // 1 marker
    qRgb(100, 120, 250),  // 2 caption text
    qRgb(240, 60, 240),   // 3 decade and major level lines
    qRgb(255, 0, 0),      // 4 curve
    qRgb(0, 240, 0),      // 5
    qRgb(255, 160, 240),  // 6 minor grid lines
    qRgb(128, 128, 128),  // 7 frame, level meter brush
    qRgb(255, 240, 0),    // 8
    qRgb(255, 255, 64),   // 9
    qRgb(100, 255, 120),  // 10
    qRgb(160, 60, 26),    // 11
    qRgb(255, 170, 100),  // 12
    qRgb(255, 64, 168),   // 13
    qRgb(255, 64, 64),    // 14
    qRgb(64, 255, 92),    // 15
    qRgb(232, 232, 232),  // 16 level meter pen
    qRgb(64, 64, 64),     // 17
};

void FreeGraphResources(CGraphResources* resources) {
  delete resources;
}

QFont BaseFont(const char* face, int pixelSize, int weight) {
  QFont font{QString::fromLatin1(face)};
  font.setStyleHint(QFont::TypeWriter, QFont::NoAntialias);
  font.setFixedPitch(true);
  font.setPixelSize(pixelSize);
  font.setWeight(weight >= 600 ? QFont::Bold : QFont::Thin);
  font.setItalic(false);
  font.setUnderline(false);
  font.setStrikeOut(false);
  font.setKerning(false);
  // Hinted vertically, as fontconfig's default (slight hinting) hints it on a screen of scale 1,
  // whatever the desktop's scale: Qt leaves fonts unhinted on a scaled desktop, and an unhinted
  // 12-pixel zero reads as an 8 ("-38" for -30).
  font.setHintingPreference(QFont::PreferVerticalHinting);
  return font;
}

}  // namespace

QRgb PaletteColor(int index) {
  if (index < 0 || index >= CGraphResources::kPaletteSize) return qRgb(0, 0, 0);
  return kPalette[index];
}

QFont MakeCellFont(const char* face, int cellHeight, int charWidth, int weight, int digitHeight) {
  // the largest pixel size whose cell still fits the asked height (and whose digits the asked
  // height)
  int pixelSize = cellHeight;
  for (; pixelSize > 1; --pixelSize) {
    const QFontMetrics metrics(BaseFont(face, pixelSize, weight));
    if (metrics.height() > cellHeight) continue;
    if (digitHeight > 0 &&
        metrics.tightBoundingRect(QStringLiteral("0123456789")).height() > digitHeight) {
      continue;
    }
    break;
  }
  QFont font = BaseFont(face, pixelSize, weight);
  // then squeeze or widen the characters to the asked advance
  const double advance = QFontMetricsF(font).horizontalAdvance(QLatin1Char('0'));
  if (advance > 0.0 && charWidth > 0) {
    int stretch = static_cast<int>(std::lround(100.0 * charWidth / advance));
    if (stretch < 1) stretch = 1;
    if (stretch > 4000) stretch = 4000;
    if (stretch != 100) font.setStretch(stretch);
  }
  return font;
}

CGraphResources& GraphResources(CGraphical& graph) {
  if (graph.m_pResources == nullptr) {
    CGraphical::ResourcesPtr resources(new CGraphResources, &FreeGraphResources);
    for (int i = 0; i < CGraphResources::kPaletteSize; ++i) {
      const QColor color = QColor::fromRgb(kPalette[i]);
      resources->m_pens[i] = QPen(color, 1, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin);
      resources->m_brushes[i] = QBrush(color, Qt::SolidPattern);
    }
    // the labels' digits stand 7 pixels tall, as in Courier New at its 14-pixel cell: the
    // places of the labels and ticks leave them that room
    resources->m_fontSmall = MakeCellFont(kGraphFace, 14, 6, 100, kLabelDigitHeight);
    resources->m_fontMedium = MakeCellFont(kGraphFace, 16, 8, 100);
    resources->m_fontLarge = MakeCellFont(kGraphFace, 29, 8, 700);
    graph.m_pResources = std::move(resources);
  }
  return *graph.m_pResources;
}

const QImage& GraphPicture(const CGraphical& graph) {
  static const QImage kNone;
  return graph.m_pResources != nullptr ? graph.m_pResources->m_bitmap : kNone;
}

QImage SnapshotBitmap(const CGraphical& graph) {
  const QImage& source = GraphPicture(graph);
  if (source.isNull() || graph.m_width <= 0 || graph.m_height <= 0) return QImage();
  QImage snapshot(graph.m_width, graph.m_height, QImage::Format_RGB32);
  if (snapshot.isNull()) return QImage();
  snapshot.fill(qRgb(0, 0, 0));
  const int width = std::min(snapshot.width(), source.width());
  const int height = std::min(snapshot.height(), source.height());
  for (int y = 0; y < height; ++y) {
    const auto* from = reinterpret_cast<const QRgb*>(source.constScanLine(y));
    auto* to = reinterpret_cast<QRgb*>(snapshot.scanLine(y));
    std::copy(from, from + width, to);
  }
  return snapshot;
}

}  // namespace quorvel

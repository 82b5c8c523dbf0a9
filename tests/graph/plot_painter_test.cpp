// The workbench plot drawn for real: sixteen traces at 1x and 2x, each in its own colour on its
// own row and in the legend, nothing outside the rectangle the plot is given, and the picture
// saved whole.
#include "graph/plot_painter.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "graph/trace_palette.h"

namespace quorvel {

namespace {

constexpr int kTraces = 16;
const QRgb kSentinel = qRgb(1, 2, 3);
const QRect kRect(40, 30, 900, 420);  // logical pixels

// Flat traces 1.5 dB apart, each on a pixel row's centre of a 10-pixel-per-dB view; the last
// one leaves the view far upwards above 8 kHz.
struct Sixteen {
  Sixteen() {
    for (int i = 0; i <= 480; ++i) f.push_back(20.0 * std::pow(1000.0, i / 480.0));
    for (int t = 0; t < kTraces; ++t) {
      for (const double hz : f) levels[t].push_back(t == 15 && hz > 8000 ? 1e6 : LevelOf(t));
      const PaletteLook look = TraceLookAt(t);
      traces.push_back(
          {"Trace " + std::to_string(t + 1), look.colour, look.style, f, levels[t], {}, 0.0, true});
    }
    scene.traces = traces;
    scene.smoothing = "1/6 octave";
    const PlotArea area = LayoutPlot(kRect, scene).area;
    view.SetLevel(-area.height / 10.0, 0.0);
  }
  static double LevelOf(int t) { return -(2.05 + 1.5 * t); }
  std::vector<double> f;
  std::vector<std::vector<double>> levels = std::vector<std::vector<double>>(kTraces);
  std::vector<PlotTrace> traces;
  PlotScene scene;
  CPlotView view;
};

QImage Paint(const Sixteen& s, const PlotScene& scene, int scale) {
  QImage image(1000 * scale, 500 * scale, QImage::Format_RGB32);
  image.setDevicePixelRatio(scale);
  image.fill(kSentinel);
  QPainter painter(&image);
  PaintPlot(painter, kRect, s.view, scene);
  return image;
}

bool Inside(const QRectF& logical, int x, int y, int scale) {
  return logical.contains((x + 0.5) / scale, (y + 0.5) / scale);
}

TEST(PlotPainter, SixteenTracesEachInItsOwnPixelsAtAnyScale) {
  const Sixteen s;
  const PlotLayout layout = LayoutPlot(kRect, s.scene);
  const QRectF area(layout.area.left, layout.area.top, layout.area.width, layout.area.height);
  const double rise = s.view.XOfFrequency(layout.area, 8000.0);
  for (const int scale : {1, 2}) {
    const QImage image = Paint(s, s.scene, scale);
    std::vector<int> columns(kTraces, 0);
    std::vector<int> inLegend(kTraces, 0);
    for (int y = 0; y < image.height(); ++y) {
      for (int x = 0; x < image.width(); ++x) {
        const QRgb pixel = image.pixel(x, y);
        if (!Inside(kRect, x, y, scale)) {
          ASSERT_EQ(pixel, kSentinel) << x << "," << y << " at " << scale << "x";
          continue;
        }
        for (int t = 0; t < kTraces; ++t) {
          const TraceRgb c = s.traces[t].colour;
          if (pixel != qRgb(c.red, c.green, c.blue)) continue;
          if (Inside(layout.legend, x, y, scale)) {
            ++inLegend[t];
            continue;
          }
          // its own colour only on its own row of the data area (and where the last rises)
          ASSERT_TRUE(Inside(area, x, y, scale)) << t << ": " << x << "," << y;
          if (t == 15 && std::fabs((x + 0.5) / scale - rise) < 2.0) continue;
          ASSERT_NEAR((y + 0.5) / scale, s.view.YOfLevel(layout.area, Sixteen::LevelOf(t)), 1.0)
              << t << ": " << x << "," << y << " at " << scale << "x";
          ++columns[t];
        }
      }
    }
    for (int t = 0; t < kTraces; ++t) {
      // solid or dashed along the width (the last one leaves above 8 kHz)
      EXPECT_GT(columns[t], 0.4 * area.width() * scale * (t == 15 ? 0.8 : 1.0))
          << t << " " << scale;
      EXPECT_GT(inLegend[t], 10 * scale) << t;
    }
  }
  std::vector<std::string> names{"Smoothing: 1/6 octave"};
  for (int t = 0; t < kTraces; ++t) names.push_back("Trace " + std::to_string(t + 1));
  EXPECT_EQ(PlotLegendLines(s.scene), names);
}

TEST(PlotPainter, CursorAndZoomBoxStayInTheAreaAndThePictureIsSavedWhole) {
  Sixteen s;
  PlotScene scene = s.scene;
  scene.cursorHz = 15000.0;  // near the right edge: the readout turns to the left
  scene.referenceTrace = 0;
  scene.hasZoomBox = true;
  scene.zoomBox = QRectF(900, 400, -1000, -500);  // reaches out of the area
  const PlotLayout layout = LayoutPlot(kRect, scene);
  const QRectF area(layout.area.left, layout.area.top, layout.area.width, layout.area.height);
  // against the same plot without them: they change pixels only within the area
  const QImage image = Paint(s, scene, 1);
  const QImage plain = Paint(s, s.scene, 1);
  int changed = 0;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      if (image.pixel(x, y) == plain.pixel(x, y)) continue;
      ASSERT_TRUE(Inside(area.adjusted(-0.5, -0.5, 0.5, 0.5), x, y, 1)) << x << "," << y;
      ++changed;
    }
  }
  EXPECT_GT(changed, 0.5 * area.width() * area.height());  // the box covers most of it
  // the cursor's dashed line down to the bottom of the area, below its readout
  const int column = static_cast<int>(s.view.XOfFrequency(layout.area, 15000.0));
  int dark = 0;
  for (int y = static_cast<int>(area.center().y()); y < area.bottom(); ++y) {
    dark += qGray(image.pixel(column, y)) < 100;
  }
  EXPECT_GT(dark, area.height() / 4);
  const std::string path = testing::TempDir() + "plot_painter_test.png";
  const Result<void> saved = SavePlotPicture(path, s.view, scene, QSize(1065, 455), 2.0);
  ASSERT_TRUE(saved) << saved.Message();
  EXPECT_EQ(QImage(QString::fromStdString(path)).size(), QSize(2130, 910));
  std::filesystem::remove(path);
  const Result<void> refused =
      SavePlotPicture("/nonexistent-folder/plot.png", s.view, scene, QSize(1065, 455), 1.0);
  EXPECT_FALSE(refused);
  const std::string& words = refused.Message();
  EXPECT_EQ(words.substr(0, words.find('\n')), "Cannot save the file to disk...");
  EXPECT_NE(words.find("/nonexistent-folder/plot.png"), std::string::npos) << words;
}

}  // namespace

}  // namespace quorvel

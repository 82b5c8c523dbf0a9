// The response plots drawn for real: each stays inside the rectangle it is given at any device
// pixel ratio (the window lays three of them out side by side), draws its curves there, and an
// analysis without a result draws no curve.
#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>

#include <cstdint>
#include <memory>
#include <vector>

#include "engine/audio_engine.h"
#include "graph/graph_resources.h"
#include "graph/plot_colours.h"
#include "graph/response_plot.h"
#include "response/impulse_analysis.h"

namespace quorvel {

namespace {

TEST(ResponsePlot, EachPlotDrawsItsCurveInsideItsRectangleAtAnyScale) {
  auto audio = std::make_unique<CAudio>();
  static_cast<void>(audio->GenerateSweep(50.0, 16000.0));
  // a second harmonic (about -25 dB) for the distortion plot to show
  std::vector<int16_t> recording;
  for (const int16_t s : audio->Sweep()) {
    recording.push_back(static_cast<int16_t>(0.5 * s + s * s / 4e5));
  }
  CImpulseAnalysis analysis;
  ASSERT_EQ(analysis.Analyze(recording.data(), recording.size(), 50.0, 16000.0),
            ResponseStatus::kOk);
  analysis.SetGate(5.0);
  CImpulseAnalysis empty;
  const QRgb black = qRgb(0, 0, 0);
  const QRect rect(40, 30, 700, 300);  // logical pixels
  for (const ResponsePlot plot :
       {ResponsePlot::kImpulse, ResponsePlot::kLevelPhase, ResponsePlot::kDistortion}) {
    // the distortion plot's H2 in vermillion, told apart from its THD (black) and H3 (blue)
    const QRgb curve =
        plot == ResponsePlot::kDistortion ? kHarmonic2Rgb : PaletteColor(kColorCurve);
    for (const int scale : {1, 2}) {
      for (const CImpulseAnalysis* shown : {&analysis, &empty}) {
        QImage image(800 * scale, 400 * scale, QImage::Format_RGB32);
        image.setDevicePixelRatio(scale);
        image.fill(black);
        {
          QPainter painter(&image);
          PaintResponsePlot(painter, rect, plot, *shown);
        }
        int outside = 0;
        int curvePixels = 0;
        for (int y = 0; y < image.height(); ++y) {
          for (int x = 0; x < image.width(); ++x) {
            const QRgb pixel = image.pixel(x, y);
            if (!rect.contains(x / scale, y / scale)) outside += pixel != black;
            curvePixels += pixel == curve;
          }
        }
        const auto where = ::testing::Message()
                           << "plot " << static_cast<int>(plot) << " at scale " << scale
                           << (shown == &empty ? " without a result" : "");
        EXPECT_EQ(outside, 0) << where;
        if (shown == &empty) {
          EXPECT_EQ(curvePixels, 0) << where;
        } else {
          EXPECT_GT(curvePixels, 300 * scale) << where;
        }
      }
    }
  }
}

}  // namespace

}  // namespace quorvel

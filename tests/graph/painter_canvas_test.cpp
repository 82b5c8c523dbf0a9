// The graph drawn through the painter canvas, as a window at another size or scale shows it.
#include "graph/painter_canvas.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <cmath>

#include "base/shared_state.h"
#include "graph/graph_resources.h"
#include "graph/graphical.h"

namespace quorvel {
namespace {

constexpr int kWidth = 1065;  // the graph area [pixels]
constexpr int kHeight = 455;

struct SteepGraph {
  CSharedState shared;
  CGraphical graph{shared};
  SteepGraph() {
    shared.m_curveFmin = shared.m_fmin = 20.0;
    shared.m_curveFmax = shared.m_fmax = 20000.0;
    // up to 15 pixels from one point to the next, rising and falling
    for (int k = 0; k <= CGraphical::kLastPoint; ++k)
      graph.AddPoint(-45.0 + 40.0 * std::sin(k / 12.0));
  }
  QImage Draw(double scale) {
    QImage image(static_cast<int>(std::lround(kWidth * scale)),
                 static_cast<int>(std::lround(kHeight * scale)), QImage::Format_RGB32);
    QPainter painter(&image);
    CPainterCanvas canvas(painter, kHeight, scale, scale);
    EXPECT_TRUE(graph.PaintGraph(canvas, kWidth, kHeight));
    return image;
  }
};

TEST(PainterCanvas, AtScaleOneItDrawsThePicturePixelForPixel) {
  SteepGraph steep;
  ASSERT_TRUE(steep.graph.PaintGraph(kWidth, kHeight));
  EXPECT_EQ(steep.Draw(1.0), GraphPicture(steep.graph));
}

TEST(PainterCanvas, ASteepCurveIsWholeColumnToColumnAtEveryScale) {
  SteepGraph steep;
  for (const double scale : {1.25, 2.0, 1.03, 0.9}) {
    const QImage image = steep.Draw(scale);
    // the red rows of each device column, first to last
    int first = -1;
    int last = -1;
    std::vector<std::pair<int, int>> rows(static_cast<size_t>(image.width()), {-1, -1});
    for (int x = 0; x < image.width(); ++x) {
      for (int y = 0; y < image.height(); ++y) {
        if ((image.pixel(x, y) & 0xffffff) != 0xff0000) continue;
        auto& [top, bottom] = rows[static_cast<size_t>(x)];
        if (top < 0) top = y;
        bottom = y;
        if (first < 0) first = x;
        last = x;
      }
    }
    EXPECT_NEAR(first, 33 * scale, 1.0) << scale;
    EXPECT_NEAR(last, 1032 * scale, 1.0 + scale) << scale;
    // each column's red touches the next column's, at least corner to corner
    int gaps = 0;
    for (int x = first; x < last; ++x) {
      const auto [top, bottom] = rows[static_cast<size_t>(x)];
      const auto [nextTop, nextBottom] = rows[static_cast<size_t>(x) + 1];
      const bool touches =
          top >= 0 && nextTop >= 0 && nextTop <= bottom + 1 && nextBottom >= top - 1;
      gaps += touches ? 0 : 1;
    }
    EXPECT_EQ(gaps, 0) << "at scale " << scale;
  }
}

}  // namespace
}  // namespace quorvel

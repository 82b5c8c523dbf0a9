// The graph drawn through the painter canvas, as a window at another size or scale shows it.
#include "graph/painter_canvas.h"

#include <gtest/gtest.h>

#include <QPainter>
#include <cmath>

#include "base/shared_state.h"
#include "graph/graph_resources.h"
#include "graph/graphical.h"

namespace quorvel {
namespace {

// A curve rising and falling by up to 15 pixels a point: at scale 1 the picture itself, and at
// every scale whole, each screen column's red touching the next one's (corner to corner at least).
TEST(PainterCanvas, ASteepCurveIsThePictureAtOneAndWholeAtEveryScale) {
  CSharedState shared;
  shared.m_curveFmin = shared.m_fmin = 20.0;
  shared.m_curveFmax = shared.m_fmax = 20000.0;
  CGraphical graph(shared);
  for (int k = 0; k <= CGraphical::kLastPoint; ++k) graph.AddPoint(-45 + 40 * std::sin(k / 12.0));
  ASSERT_TRUE(graph.PaintGraph(1065, 455));
  for (const double scale : {1.0, 1.25, 2.0, 1.03, 0.9}) {
    QImage image(static_cast<int>(std::lround(1065 * scale)),
                 static_cast<int>(std::lround(455 * scale)), QImage::Format_RGB32);
    {
      QPainter painter(&image);
      CPainterCanvas canvas(painter, 455, scale, scale);
      ASSERT_TRUE(graph.PaintGraph(canvas, 1065, 455));
    }
    EXPECT_TRUE(scale != 1.0 || image == GraphPicture(graph));
    int gaps = 0, columns = 0, lastX = -1, lastTop = 0, lastBottom = 0;
    for (int x = 0; x < image.width(); ++x) {
      int top = -1, bottom = -1;
      for (int y = 0; y < image.height(); ++y) {
        if ((image.pixel(x, y) & 0xffffff) == 0xff0000) bottom = y, top = top < 0 ? y : top;
      }
      if (top < 0) continue;
      gaps += lastX >= 0 && (x != lastX + 1 || top > lastBottom + 1 || bottom < lastTop - 1);
      ++columns, lastX = x, lastTop = top, lastBottom = bottom;
    }
    EXPECT_EQ(gaps, 0) << scale;
    EXPECT_NEAR(columns, 999 * scale, 1 + scale) << scale;  // from x 33 to 1031
  }
}

}  // namespace
}  // namespace quorvel

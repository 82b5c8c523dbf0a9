// Curve pictures for front ends without a window: the graph over the range it was measured
// with, whatever the range fields show, and nothing of the shared state changed.
#include "graph/curve_image_render.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <QImage>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <string>

#include "base/shared_state.h"
#include "graph/graph_resources.h"
#include "graph/graph_scales.h"
#include "graph/graphical.h"

namespace quorvel {

namespace {

TEST(RenderCurveImage, SavesTheGraphAsTheWindowWouldShowIt) {
  const std::string dir =
      ::testing::TempDir() + "quorvel_render_image_" + std::to_string(::getpid());
  std::filesystem::create_directories(dir);
  CSharedState shared;
  shared.m_curveFmin = 50.0;
  shared.m_curveFmax = 5000.0;
  shared.m_fmin = 1000.0;  // the range fields were changed after the measurement
  shared.m_fmax = 1500.0;
  std::strcpy(shared.m_szGraphCaption, "Playing File \"sweep\"");
  CGraphical graph(shared);
  for (int k = 0; k <= CGraphical::kLastPoint; ++k) graph.AddPoint(-20.0);

  ASSERT_TRUE(RenderCurveImage(graph, 50.0, 5000.0, dir + "/curve.png"));
  EXPECT_EQ(shared.m_fmin, 1000.0);
  EXPECT_EQ(shared.m_fmax, 1500.0);

  const QImage png(QString::fromStdString(dir + "/curve.png"));
  ASSERT_EQ(png.size(), QSize(kGraphAreaWidth, kGraphAreaHeight));
  const QImage image = png.convertToFormat(QImage::Format_RGB32);
  EXPECT_EQ(image, GraphPicture(graph));
  // the grid of 50..5000 Hz: decade lines at 500 and 5000 Hz
  auto at = [&](int x, int h) { return image.pixel(x, kGraphAreaHeight - h) & 0xffffff; };
  EXPECT_EQ(at(FrequencyToX(500.0, 50.0, 5000.0), 200), qRgb(240, 60, 240) & 0xffffff);
  EXPECT_EQ(at(1033, 200), qRgb(240, 60, 240) & 0xffffff);
  EXPECT_EQ(at(500, 336), qRgb(255, 0, 0) & 0xffffff);  // -20 dB
  // the caption in its colour at the top
  int caption = 0;
  for (int y = 8; y < 26; ++y) {
    for (int x = 400; x < 660; ++x) caption += (image.pixel(x, y) & 0xffffff) == 0x6478fa;
  }
  EXPECT_GT(caption, 20);

  // a BMP of the same picture; an unknown extension fails
  ASSERT_TRUE(RenderCurveImage(graph, 50.0, 5000.0, dir + "/curve.bmp"));
  EXPECT_EQ(std::filesystem::file_size(dir + "/curve.bmp"), 54u + 3196u * kGraphAreaHeight);
  EXPECT_FALSE(RenderCurveImage(graph, 50.0, 5000.0, dir + "/curve.gif"));
  std::filesystem::remove_all(dir);
}

TEST(RenderCurveImage, DefaultExtensionIsAddedLikeTheSaveDialogDoes) {
  EXPECT_EQ(WithImageExtension("curve", "png"), "curve.png");
  EXPECT_EQ(WithImageExtension("curve.PNG", "png"), "curve.PNG");
  EXPECT_EQ(WithImageExtension("curve.png", "bmp"), "curve.png.bmp");
  EXPECT_EQ(WithImageExtension("", "bmp"), ".bmp");
}

}  // namespace

}  // namespace quorvel

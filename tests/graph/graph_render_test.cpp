// The graph drawn for real into its off-screen picture, checked pixel by pixel.
#include <gtest/gtest.h>

#include <unistd.h>
#include <QImage>
#include <QPainter>

#include <cmath>
#include <filesystem>
#include <string>
#include <tuple>
#include <vector>

#include "base/shared_state.h"
#include "graph/curve_image_export.h"
#include "graph/graph_caption.h"
#include "graph/graph_resources.h"
#include "graph/graph_scales.h"
#include "graph/graphical.h"
#include "graph/painter_canvas.h"

namespace quorvel {

namespace {

constexpr int kWidth = 1065;  // the main window's graph area [pixels]
constexpr int kHeight = 455;

// colours without their alpha byte, as the pixels are compared
constexpr QRgb Rgb(int r, int g, int b) {
  return qRgb(r, g, b) & 0xffffff;
}

const QRgb kBackground = Rgb(255, 245, 220);
const QRgb kFrame = Rgb(128, 128, 128);
const QRgb kMajor = Rgb(240, 60, 240);
const QRgb kMinor = Rgb(255, 160, 240);
const QRgb kRed = Rgb(255, 0, 0);
const QRgb kBlue = Rgb(0, 0, 240);
const QRgb kCaption = Rgb(100, 120, 250);
const QRgb kBlack = Rgb(0, 0, 0);

class GraphRenderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    shared.m_fmin = 20.0;
    shared.m_fmax = 20000.0;
    shared.m_curveFmin = 20.0;
    shared.m_curveFmax = 20000.0;
  }

  void FillCurve(double (*level)(int)) {
    graph.ClearCurve();
    for (int k = 0; k <= CGraphical::kLastPoint; ++k) graph.AddPoint(level(k));
  }

  const QImage& Paint() {
    EXPECT_TRUE(graph.PaintGraph(kWidth, kHeight));
    return GraphPicture(graph);
  }

  // the colour at x and height h (measured upward from the bottom edge)
  QRgb At(int x, int h) const { return GraphPicture(graph).pixel(x, kHeight - h) & 0xffffff; }

  // pixels of colour in the box x0..x1-1, rows y0..y1-1
  static int Count(const QImage& image, QRgb color, int x0, int y0, int x1, int y1) {
    int n = 0;
    for (int y = y0; y < y1; ++y) {
      for (int x = x0; x < x1; ++x) n += (image.pixel(x, y) & 0xffffff) == (color & 0xffffff);
    }
    return n;
  }

  // The text as the graph's fonts draw it, with its left edge at x and baseline at row
  // baseline, on an empty background: a reference for where and what the graph wrote.
  QImage Reference(const QFont& font, const QString& text, int x, int baseline, QRgb color) {
    QImage image(kWidth, kHeight, QImage::Format_RGB32);
    image.fill(kBackground);
    QPainter painter(&image);
    painter.setFont(font);
    painter.setPen(QColor::fromRgb(color));
    painter.drawText(QPoint(x, baseline), text);
    return image;
  }

  // every pixel of colour in the reference box is that colour in the picture too, and the
  // box holds some of it
  void ExpectTextMatches(const QImage& reference, QRgb color, int x0, int y0, int x1, int y1) {
    const QImage& picture = GraphPicture(graph);
    int inked = 0;
    int missing = 0;
    for (int y = y0; y < y1; ++y) {
      for (int x = x0; x < x1; ++x) {
        if ((reference.pixel(x, y) & 0xffffff) != (color & 0xffffff)) continue;
        ++inked;
        missing += (picture.pixel(x, y) & 0xffffff) != (color & 0xffffff);
      }
    }
    EXPECT_GT(inked, 5);
    EXPECT_EQ(missing, 0);
  }

  CSharedState shared;
  CGraphical graph{shared};
};

TEST_F(GraphRenderTest, BackgroundFrameAndPictureSize) {
  const QImage& image = Paint();
  ASSERT_EQ(image.width(), kWidth);
  ASSERT_EQ(image.height(), kHeight);
  EXPECT_EQ(image.format(), QImage::Format_RGB32);
  // the frame runs round the whole area, inside it the background
  for (int x : {0, 500, kWidth - 1}) {
    EXPECT_EQ(image.pixel(x, 0) & 0xffffff, kFrame);
    EXPECT_EQ(image.pixel(x, kHeight - 1) & 0xffffff, kFrame);
  }
  for (int y : {0, 200, kHeight - 1}) {
    EXPECT_EQ(image.pixel(0, y) & 0xffffff, kFrame);
    EXPECT_EQ(image.pixel(kWidth - 1, y) & 0xffffff, kFrame);
  }
  EXPECT_EQ(image.pixel(1, 1) & 0xffffff, kBackground);
  EXPECT_EQ(image.pixel(1055, 100) & 0xffffff, kBackground);
  EXPECT_EQ(image.pixel(kWidth - 2, kHeight - 2) & 0xffffff, kBackground);
  EXPECT_EQ(graph.m_plotPoints, 1000);
  EXPECT_EQ(graph.m_levelRows, 15);
  EXPECT_FALSE(graph.PaintGraph(0, kHeight));
}

TEST_F(GraphRenderTest, AxesWithTheirArrowHeads) {
  Paint();
  // x axis: heights 22 from x 33 up to the arrow's tip at 1048
  EXPECT_EQ(At(33, 22), kBlack);
  EXPECT_EQ(At(1048, 22), kBlack);
  EXPECT_NE(At(1049, 22), kBlack);
  EXPECT_EQ(At(1046, 21), kBlack);
  EXPECT_NE(At(1047, 21), kBlack);
  EXPECT_EQ(At(1044, 24), kBlack);
  EXPECT_NE(At(1045, 24), kBlack);
  // y axis up to its tip at 440
  EXPECT_EQ(At(33, 300), kBlack);
  EXPECT_EQ(At(33, 440), kBlack);
  EXPECT_NE(At(33, 441), kBlack);
  EXPECT_EQ(At(32, 438), kBlack);
  EXPECT_EQ(At(35, 436), kBlack);
  EXPECT_NE(At(35, 437), kBlack);
}

TEST_F(GraphRenderTest, DecadeAndFrequencyGridLines) {
  Paint();
  for (int x : {366, 700, 1033}) {
    EXPECT_EQ(At(x, 23), kMajor) << x;
    EXPECT_EQ(At(x, 200), kMajor) << x;
    EXPECT_EQ(At(x, 426), kMajor) << x;
    EXPECT_EQ(At(x, 22), kBlack) << x;  // the axis
  }
  // 40 Hz: a minor line from height 23 to 426 and a short tick below the axis
  const int x40 = FrequencyToX(40.0, 20.0, 20000.0);
  EXPECT_EQ(x40, 133);
  EXPECT_EQ(At(x40, 23), kMinor);
  EXPECT_EQ(At(x40, 200), kMinor);
  EXPECT_EQ(At(x40, 21), kBlack);
  EXPECT_EQ(At(x40, 20), kBlack);
  EXPECT_NE(At(x40, 19), kBlack);
  // decade starts have a longer tick: 200 Hz down to height 17
  EXPECT_EQ(At(366, 17), kBlack);
  EXPECT_NE(At(366, 16), kBlack);
  // no line between grid frequencies
  EXPECT_EQ(At(150, 200), kBackground);
}

TEST_F(GraphRenderTest, LevelRowsAndTicks) {
  Paint();
  for (int i = 1; i < kLevelRowCount; ++i) {
    const int h = 22 + 9 * i;
    const QRgb expected = i % 3 == 0 ? kMajor : kMinor;
    EXPECT_EQ(At(150, h), expected) << i;
    EXPECT_EQ(At(34, h), expected) << i;
    EXPECT_EQ(At(31, h), kBlack) << i;  // the tick left of the axis
    EXPECT_EQ(At(28, h), i % 3 == 0 ? kBlack : kBackground) << i;
    EXPECT_NE(At(27, h), kBlack) << i;
    EXPECT_EQ(At(150, h + 1), kBackground) << i;
  }
}

TEST_F(GraphRenderTest, LevelAndFrequencyLabels) {
  Paint();
  const CGraphResources& resources = GraphResources(graph);
  const QFontMetrics metrics(resources.m_fontSmall);
  // "-90" right-aligned at x 27, baseline 4 rows below the axis row
  {
    const QString text = QStringLiteral("-90");
    const int left = 27 - metrics.horizontalAdvance(text);
    const int baseline = kHeight - 22 + 4;
    const QImage reference = Reference(resources.m_fontSmall, text, left, baseline, kBlack);
    ExpectTextMatches(reference, kBlack, left, baseline - metrics.ascent(), 27, baseline);
  }
  // "0" at the top row, height 427
  {
    const QString text = QStringLiteral("0");
    const int left = 27 - metrics.horizontalAdvance(text);
    const int baseline = kHeight - 427 + 4;
    const QImage reference = Reference(resources.m_fontSmall, text, left, baseline, kBlack);
    ExpectTextMatches(reference, kBlack, left, baseline - metrics.ascent(), 27, baseline);
  }
  // "140" centred under its tick, baseline on row H - 8
  {
    const QString text = QStringLiteral("140");
    const int x = FrequencyToX(140.0, 20.0, 20000.0);
    const int left = x - metrics.horizontalAdvance(text) / 2;
    const int baseline = kHeight - 8;
    const QImage reference = Reference(resources.m_fontSmall, text, left, baseline, kBlack);
    ExpectTextMatches(reference, kBlack, left, baseline - metrics.ascent(), left + 18, baseline);
  }
  // 120 Hz has a grid line but no label
  const int x120 = FrequencyToX(120.0, 20.0, 20000.0);
  EXPECT_EQ(Count(GraphPicture(graph), kBlack, x120 - 4, kHeight - 16, x120 + 5, kHeight - 2), 0);
}

TEST_F(GraphRenderTest, FontsHaveTheirCellsAndAdvances) {
  Paint();
  const CGraphResources& resources = GraphResources(graph);
  EXPECT_LE(QFontMetrics(resources.m_fontSmall).height(), 14);
  EXPECT_GE(QFontMetrics(resources.m_fontSmall).height(), 12);
  EXPECT_EQ(QFontMetrics(resources.m_fontSmall).horizontalAdvance(QStringLiteral("000")), 18);
  EXPECT_LE(QFontMetrics(resources.m_fontMedium).height(), 16);
  EXPECT_EQ(QFontMetrics(resources.m_fontMedium).horizontalAdvance(QStringLiteral("000")), 24);
  EXPECT_LE(QFontMetrics(resources.m_fontLarge).height(), 29);
  EXPECT_TRUE(resources.m_fontLarge.bold());
  EXPECT_TRUE(QFontInfo(resources.m_fontSmall).fixedPitch());
  // Liberation Mono, the small font's digits as tall as Courier New's in its 14-pixel cell
  EXPECT_EQ(QFontInfo(resources.m_fontSmall).family().toStdString(), "Liberation Mono");
  EXPECT_EQ(QFontMetrics(resources.m_fontSmall).tightBoundingRect("0123456789").height(), 7);
}

TEST_F(GraphRenderTest, FrequencyLabelsStandClearOfTheTicksAboveThem) {
  // the decades' 4 ticks end at height 17, the digits stand on row H - 8: height 16 stays empty
  const QImage& picture = Paint();
  EXPECT_EQ(Count(picture, kBlack, 0, kHeight - 17, kWidth, kHeight - 16), 4);
  EXPECT_EQ(Count(picture, kBlack, 0, kHeight - 16, kWidth, kHeight - 15), 0);
  EXPECT_GT(Count(picture, kBlack, 0, kHeight - 15, kWidth, kHeight - 8), 300);
}

TEST_F(GraphRenderTest, CurveLevelsSitAtTheirHeights) {
  FillCurve([](int) { return 0.0; });
  Paint();
  EXPECT_EQ(At(500, 426), kRed);
  EXPECT_NE(At(500, 427), kRed);
  EXPECT_NE(At(500, 425), kRed);
  // the curve runs from x 33 to 1031 (point k's segment ends where point k + 1 begins)
  EXPECT_EQ(At(33, 426), kRed);
  EXPECT_EQ(At(1031, 426), kRed);
  EXPECT_NE(At(1032, 426), kRed);

  FillCurve([](int) { return -89.9; });
  Paint();
  EXPECT_EQ(At(500, 22), kRed);  // 426 - 404.55 rounds to 21, raised to the axis
}

// Traces: in their colours over their own ranges only (200 Hz at x 365.3, 2000 Hz at 698.7),
// under the live curve (-20 dB at 336); without any, the very picture drawn before.
TEST_F(GraphRenderTest, TracesAreDrawnBehindTheLiveCurveOverTheirOwnRange) {
  FillCurve([](int) { return -20.0; });
  const QImage without = Paint().copy();
  const auto flat = [](double fmin, double fmax, double level) {
    return CGraphical::Curve{fmin, fmax, std::vector<double>(1001, level), 0xCC3311};
  };
  const std::vector<std::tuple<CGraphical::Curve, int, int, QRgb>> cases = {
      {flat(20, 20000, -33), 500, 277, Rgb(0xCC, 0x33, 0x11)},
      {flat(200, 2000, -33), 366, 277, Rgb(0xCC, 0x33, 0x11)},
      {flat(200, 2000, -33), 360, 277, kBackground},
      {flat(200, 2000, -33), 710, 277, kBackground},
      {flat(20, 20000, -20), 500, 336, kRed},
  };
  for (const auto& [trace, x, h, expected] : cases) {
    graph.SetCurvesBehind({trace});
    Paint();
    EXPECT_EQ(At(x, h), expected) << x << " " << h;
  }
  graph.SetCurvesBehind({});
  EXPECT_EQ(Paint(), without);
  EXPECT_EQ(graph.Curves()[0].levels[700], -20.0);  // the live curve as painted
  EXPECT_EQ(graph.Curves()[0].fmax, 20000.0);
}

// Through the painter canvas, a curve rising and falling by up to 15 pixels a point: at scale 1
// the picture itself; at every scale whole, each screen column's red touching the next one's.
TEST_F(GraphRenderTest, APainterCanvasDrawsASteepCurveWholeAtEveryScale) {
  FillCurve([](int k) { return -45 + 40 * std::sin(k / 12.0); });
  const QImage& picture = Paint();
  for (const double scale : {1.0, 1.25, 2.0, 1.03, 0.9}) {
    QImage image(static_cast<int>(std::lround(kWidth * scale)),
                 static_cast<int>(std::lround(kHeight * scale)), QImage::Format_RGB32);
    {
      QPainter painter(&image);
      CPainterCanvas canvas(painter, kHeight, scale, scale);
      ASSERT_TRUE(graph.PaintGraph(canvas, kWidth, kHeight));
    }
    EXPECT_TRUE(scale != 1.0 || image == picture);
    int gaps = 0, columns = 0, lastX = -1, lastTop = 0, lastBottom = 0;
    for (int x = 0; x < image.width(); ++x) {
      int top = -1, bottom = -1;
      for (int y = 0; y < image.height(); ++y) {
        if ((image.pixel(x, y) & 0xffffff) == kRed) bottom = y, top = top < 0 ? y : top;
      }
      if (top < 0) continue;
      gaps += lastX >= 0 && (x != lastX + 1 || top > lastBottom + 1 || bottom < lastTop - 1);
      ++columns, lastX = x, lastTop = top, lastBottom = bottom;
    }
    EXPECT_EQ(gaps, 0) << scale;
    EXPECT_NEAR(columns, 999 * scale, 1 + scale) << scale;  // from x 33 to 1031
  }
}

TEST_F(GraphRenderTest, PointBelowMinus90IsSkipped) {
  FillCurve([](int k) { return k == 500 ? -95.0 : -20.0; });
  Paint();
  const int h = 426 - 90;  // -20 dB
  EXPECT_EQ(At(531, h), kRed);
  EXPECT_NE(At(532, h), kRed);   // point 500's segment is missing
  EXPECT_EQ(At(532, 22), kRed);  // the next segment rises from the axis
  EXPECT_EQ(At(534, h), kRed);
}

TEST_F(GraphRenderTest, NoCurveWithoutALevelAboveMinus90) {
  FillCurve([](int) { return -90.0; });
  const QImage& image = Paint();
  EXPECT_EQ(Count(image, kRed, 0, 0, kWidth, kHeight), 0);
}

TEST_F(GraphRenderTest, ResampledCurveForAnotherDisplayRange) {
  // measured 20..20000 Hz, shown on 200..2000 Hz: every pixel shows the measured point at its
  // frequency
  auto level = [](int k) { return -80.0 + 0.07 * k; };
  FillCurve([](int k) { return -80.0 + 0.07 * k; });
  shared.m_fmin = 200.0;
  shared.m_fmax = 2000.0;
  Paint();
  for (int k : {100, 200, 500, 800, 999}) {
    const int measured = DisplayedCurveIndex(k - 1, 200.0, 2000.0, 20.0, 20000.0);
    EXPECT_EQ(At(32 + k, LevelToHeight(level(measured))), kRed) << k;
    // away from the middle the raw point would sit elsewhere
    if (k != 500) {
      EXPECT_NE(At(32 + k, LevelToHeight(level(k - 1))), kRed) << k;
    }
  }
}

TEST_F(GraphRenderTest, SmoothedCurveIsDrawnWhenSmoothingIsOn) {
  FillCurve([](int k) { return k % 2 == 0 ? -10.0 : -30.0; });
  graph.Smooth();
  shared.m_bSmoothing.store(1);
  Paint();
  const int h = LevelToHeight(graph.m_smoothed[499]);
  EXPECT_EQ(At(532, h), kRed);
  EXPECT_NE(At(532, LevelToHeight(-10.0)), kRed);
}

TEST_F(GraphRenderTest, MarkerLinesAndTexts) {
  FillCurve([](int k) { return -60.0 + 0.05 * k; });
  graph.m_cursorIndex = 500;
  Paint();
  const int h = 426 - 158;  // -35 dB: 4.5 * -35 = -157.5 rounds to -158
  EXPECT_EQ(graph.m_cursorY, h);
  EXPECT_DOUBLE_EQ(graph.m_cursorLevel, -35.0);
  EXPECT_DOUBLE_EQ(graph.m_cursorFreq, 637.0);  // 20 * 1000^0.501 = 636.9.. rounded
  // vertical line at x 534 from height 23 up to the point, horizontal line back to x 34
  EXPECT_EQ(At(534, 23), kBlue);
  EXPECT_EQ(At(534, 100), kBlue);
  EXPECT_EQ(At(300, h), kBlue);
  EXPECT_EQ(At(34, h), kBlue);
  EXPECT_NE(At(33, h), kBlue);

  const CGraphResources& resources = GraphResources(graph);
  const QFontMetrics metrics(resources.m_fontMedium);
  {
    const QString text = QStringLiteral("637 Hz");
    const int left = 552 - metrics.horizontalAdvance(text);
    const int baseline = kHeight - 38;
    const QImage reference = Reference(resources.m_fontMedium, text, left, baseline, kBlue);
    ExpectTextMatches(reference, kBlue, left, baseline - metrics.ascent(), 552, baseline);
  }
  {
    const QString text = QStringLiteral("-35.00 dB");
    const int baseline = kHeight - (h + 3);
    const QImage reference = Reference(resources.m_fontMedium, text, 40, baseline, kBlue);
    ExpectTextMatches(reference, kBlue, 40, baseline - metrics.ascent(), 40 + 9 * 8, baseline);
  }
}

TEST_F(GraphRenderTest, NoMarkerOnASilentPoint) {
  FillCurve([](int k) { return k == 300 ? -95.0 : -20.0; });
  graph.m_cursorIndex = 300;
  graph.m_cursorY = -1;
  const QImage& image = Paint();
  EXPECT_EQ(Count(image, kBlue, 0, 0, kWidth, kHeight), 0);
  EXPECT_EQ(graph.m_cursorY, -1);
}

TEST_F(GraphRenderTest, RangeUnderADecadeDrawsOnlyBackgroundAndFrame) {
  shared.m_fmin = 100.0;
  shared.m_fmax = 500.0;
  const QImage& image = Paint();
  const int frame = 2 * kWidth + 2 * (kHeight - 2);
  EXPECT_EQ(Count(image, kFrame, 0, 0, kWidth, kHeight), frame);
  EXPECT_EQ(Count(image, kBackground, 0, 0, kWidth, kHeight), kWidth * kHeight - frame);
  // the curve is still drawn over the 1000 pixels
  FillCurve([](int) { return -20.0; });
  Paint();
  EXPECT_EQ(At(500, 336), kRed);
  EXPECT_EQ(Count(GraphPicture(graph), kBlack, 0, 0, kWidth, kHeight), 0);
}

TEST_F(GraphRenderTest, CaptionIsCentredAtTheTop) {
  SetGraphCaption(shared, "Quorvel Capture");
  const QImage& image = Paint();
  const CGraphResources& resources = GraphResources(graph);
  const QFontMetrics metrics(resources.m_fontMedium);
  const QString text = QStringLiteral("Quorvel Capture");
  const int left = kWidth / 2 - metrics.horizontalAdvance(text) / 2;
  const int baseline = 8 + metrics.ascent();
  const QImage reference = Reference(resources.m_fontMedium, text, left, baseline, kCaption);
  ExpectTextMatches(reference, kCaption, left, 8, left + 15 * 8, baseline + metrics.descent());
  EXPECT_EQ(Count(image, kCaption, 0, 0, kWidth, 8), 0);

  // a caption longer than 517 characters is not drawn
  SetGraphCaption(shared, std::string(518, 'A'));
  EXPECT_EQ(Count(Paint(), kCaption, 0, 0, kWidth, kHeight), 0);
}

TEST_F(GraphRenderTest, PictureKeepsItsFirstSizeAndSnapshotFollowsTheArea) {
  EXPECT_TRUE(SnapshotBitmap(graph).isNull());  // nothing painted yet
  Paint();
  ASSERT_TRUE(graph.PaintGraph(600, 300));
  EXPECT_EQ(GraphPicture(graph).size(), QSize(kWidth, kHeight));
  const QImage snapshot = SnapshotBitmap(graph);
  EXPECT_EQ(snapshot.size(), QSize(600, 300));
  EXPECT_EQ(snapshot.pixel(0, 0) & 0xffffff, kFrame);
  EXPECT_EQ(snapshot.pixel(599, 299) & 0xffffff, kFrame);  // the smaller area's own frame
  // a larger area than the picture: the rest of the snapshot is black
  ASSERT_TRUE(graph.PaintGraph(1200, 500));
  const QImage larger = SnapshotBitmap(graph);
  EXPECT_EQ(larger.size(), QSize(1200, 500));
  EXPECT_EQ(larger.pixel(1100, 480) & 0xffffff, kBlack);
  EXPECT_EQ(larger.pixel(1, 1) & 0xffffff, kBackground);
}

TEST_F(GraphRenderTest, SaveCurveImageWritesWhatWasDrawn) {
  const std::string dir = ::testing::TempDir() + "quorvel_graph_save_" + std::to_string(::getpid());
  std::filesystem::create_directories(dir);
  FillCurve([](int k) { return -40.0 + 15.0 * std::sin(k / 80.0); });
  SetGraphCaption(shared, "Playing File \"sweep\"");
  EXPECT_FALSE(graph.SaveCurveImage(dir + "/early.png"));  // nothing painted yet
  const QImage& picture = Paint();

  ASSERT_TRUE(graph.SaveCurveImage(dir + "/curve.png"));
  const QImage png(QString::fromStdString(dir + "/curve.png"));
  ASSERT_EQ(png.size(), QSize(kWidth, kHeight));
  EXPECT_EQ(png.convertToFormat(QImage::Format_RGB32), picture);

  ASSERT_TRUE(graph.SaveCurveImage(dir + "/curve.bmp"));
  EXPECT_EQ(std::filesystem::file_size(dir + "/curve.bmp"), 54u + 3196u * kHeight);
  const QImage bmp(QString::fromStdString(dir + "/curve.bmp"));
  EXPECT_EQ(bmp.convertToFormat(QImage::Format_RGB32), picture);

  EXPECT_FALSE(graph.SaveCurveImage(dir + "/curve.jpg"));
  std::filesystem::remove_all(dir);
}

}  // namespace

}  // namespace quorvel

// The print picture, and the printed page drawn into an image and into a PDF file, checked by
// their pixels: where the picture lands, at what scale, and where the caption sits.
#include "print/print_page.h"

#include <gtest/gtest.h>

#include <QPainter>
#include <QPdfWriter>
#include <cmath>

#include "tests/print/print_test_support.h"

namespace quorvel {
namespace {

class PrintPage : public ::testing::Test {
 protected:
  void SetUp() override { painted.Paint(); }
  PrintableArea Draw(QPaintDevice& device) {
    const PrintableArea area = PrintableAreaOf(device);
    QPainter painter(&device);
    DrawPrintPage(painter, painted.graph, QStringLiteral("take 1"), area,
                  GraphResources(painted.graph).m_fontMedium);
    return area;
  }
  CPaintedGraph painted;
};

TEST_F(PrintPage, PictureIsTheTitleBandOverTheGraphAsShown) {
  const QImage picture = MakePrintPicture(painted.graph, QStringLiteral("take 1"));
  ASSERT_EQ(picture.size(), QSize(kAreaWidth, kAreaHeight + 40));
  EXPECT_EQ(picture.copy(0, 40, kAreaWidth, kAreaHeight), GraphPicture(painted.graph));
  EXPECT_TRUE(IsRgb(picture.pixel(0, 0), 128, 128, 128));  // framed
  EXPECT_TRUE(IsRgb(picture.pixel(kAreaWidth - 1, 39), 128, 128, 128));
  EXPECT_TRUE(IsRgb(picture.pixel(5, 5), 255, 245, 220));
  // the title centred on x = 532, standing on row 26 ("take 1" has no descender)
  const QRect title = BoundingBox(picture, IsDark, QRect(1, 1, kAreaWidth - 2, 38));
  EXPECT_NEAR(title.center().x(), kAreaWidth / 2, 2);
  EXPECT_GE(title.bottom(), 23);
  EXPECT_LE(title.bottom(), 26);
  CPaintedGraph unpainted;
  EXPECT_TRUE(MakePrintPicture(unpainted.graph, QStringLiteral("x")).isNull());
}

TEST_F(PrintPage, PageInAnImageHoldsThePictureScaledAtItsCornerAndTheCaptionBelow) {
  struct Sheet {
    const char* name;
    double widthMm, heightMm, dpi, share;
    bool captionOverPicture;  // a small printed picture takes the caption into its lower part
  };
  const Sheet sheets[] = {{"landscape 290 x 200 mm, 400 dpi", 290, 200, 400, 0.966, false},
                          {"portrait 250 x 300 mm, 300 dpi", 250, 300, 300, 0.95, true}};
  for (const Sheet& sheet : sheets) {
    SCOPED_TRACE(sheet.name);
    QImage page(static_cast<int>(sheet.widthMm / 25.4 * sheet.dpi),
                static_cast<int>(sheet.heightMm / 25.4 * sheet.dpi), QImage::Format_RGB32);
    page.setDotsPerMeterX(static_cast<int>(std::lround(sheet.dpi / 0.0254)));
    page.setDotsPerMeterY(page.dotsPerMeterX());
    page.fill(Qt::white);
    const PrintableArea area = Draw(page);
    const double printable = area.sizeMm.width() / 25.4 * area.dpi.x();  // [pixels]
    const double scale = sheet.share * printable / kAreaWidth;

    const auto IsCaption = [](QRgb p) { return IsRgb(p, 100, 120, 250); };
    const QRect caption = BoundingBox(page, IsCaption);
    const QRect box = BoundingBox(page, [&](QRgb p) { return !IsWhite(p) && !IsCaption(p); });
    EXPECT_EQ(box.topLeft(), QPoint(120, 240));
    EXPECT_NEAR(box.width(), sheet.share * printable, 1.0);
    EXPECT_NEAR(box.height(), (kAreaHeight + 40) * scale, 1.0);
    // the curve, on row 167 of the graph below the 40-row band, one picture pixel thick
    const QRect curve = BoundingBox(page, IsRed);
    EXPECT_EQ(curve.top(), 240 + std::lround(40 * scale) + std::lround(167 * scale));
    EXPECT_EQ(curve.height(), std::lround(scale));
    // the caption's cell has its top-right corner at (w * E, (h + 40) * E * 1.15): its ink,
    // scaled with the picture, ends a few of the picture's pixels left of it and starts below
    EXPECT_GE(caption.right(), std::floor(kAreaWidth * scale) - 4 * scale);
    EXPECT_LT(caption.right(), std::floor(kAreaWidth * scale));
    EXPECT_GE(caption.top(), std::floor((kAreaHeight + 40) * scale * 1.15));
    EXPECT_LE(caption.top(), std::floor((kAreaHeight + 40) * scale * 1.15) + 2 * scale);
    EXPECT_EQ(caption.top() < box.bottom(), sheet.captionOverPicture);
  }
}

TEST_F(PrintPage, PageInAPdfFileStartsAtThePrintableAreaOnEitherOrientation) {
  const CTempFolder folder;
  const std::string pdf = folder / "page.pdf";
  constexpr int kDpi = 600;
  for (const auto& [orientation, share] :
       {std::pair(QPageLayout::Landscape, 0.966), std::pair(QPageLayout::Portrait, 0.95)}) {
    SCOPED_TRACE(share);
    PrintableArea area;
    QPointF origin;  // of the printable area: the margins, which a PDF keeps in whole points
    {
      QPdfWriter writer(QString::fromStdString(pdf));
      writer.setResolution(kDpi);
      writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), orientation,
                                       QMarginsF(10, 10, 10, 10), QPageLayout::Millimeter));
      origin = writer.pageLayout().paintRectPoints().topLeft() * (kDpi / 72.0);
      area = Draw(writer);
    }
    EXPECT_EQ(PdfInfo(pdf, "Pages"), "1");
    const double scale = share * area.sizeMm.width() / 25.4 * kDpi / kAreaWidth;
    const auto At = [&](double x, double y) { return (origin + QPointF(x, y)).toPoint(); };

    // rendered back at the writer's resolution, 100 x 100 pixels centred on each corner of
    // the picture, and around the caption's corner
    const auto Around = [&](QPoint at, QSize size) {
      return RenderPdf(pdf, kDpi, QRect(at - QPoint(size.width() / 2, size.height() / 2), size));
    };
    const auto Ink = [](QRgb p) { return !IsWhite(p); };
    const QRect near = BoundingBox(Around(At(120, 240), QSize(100, 100)), Ink);
    EXPECT_NEAR(near.left(), 50, 1);
    EXPECT_NEAR(near.top(), 50, 1);
    const QPoint far = At(120 + kAreaWidth * scale, 240 + (kAreaHeight + 40) * scale);
    const QRect farBox = BoundingBox(Around(far, QSize(100, 100)), Ink);
    EXPECT_NEAR(farBox.right(), 49, 1);
    EXPECT_NEAR(farBox.bottom(), 49, 1);
    const QPoint captionCorner = At(kAreaWidth * scale, (kAreaHeight + 40) * scale * 1.15);
    const QRect caption = BoundingBox(Around(captionCorner, QSize(800, 80)), IsCaptionBlue);
    EXPECT_GE(caption.right(), 400 - 4 * scale);
    EXPECT_LT(caption.right(), 400);
    EXPECT_GE(caption.top(), 40 - 1);
    EXPECT_LE(caption.top(), 40 + 2 * scale);
  }
}

}  // namespace
}  // namespace quorvel

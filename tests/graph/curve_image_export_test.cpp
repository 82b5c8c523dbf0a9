// Curve image export: BMP files byte for byte, PNG files read back through Qt, the naming rules,
// and the graph saved for front ends without a window: over the range it was measured with,
// whatever the range fields show, and nothing of the shared state changed.
#include "graph/curve_image_export.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QImage>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "base/shared_state.h"
#include "graph/graph_caption.h"
#include "graph/graph_resources.h"
#include "graph/graph_scales.h"
#include "graph/graphical.h"

namespace quorvel {

namespace {

namespace fs = std::filesystem;

class CurveImageExportTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_dir = fs::temp_directory_path() /
            ("quorvel_export_" + std::to_string(::getpid()) + "_" +
             ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(m_dir);
    fs::create_directories(m_dir);
  }
  void TearDown() override { fs::remove_all(m_dir); }

  std::string PathOf(const std::string& name) const { return (m_dir / name).string(); }

  // A picture whose every pixel is distinct: red from x, green from y, blue from both.
  static QImage Pattern(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x)
        image.setPixel(x, y, qRgb(10 + x, 20 + y, (x * 7 + y) & 0xff));
    }
    return image;
  }

  static CurvePicture Dib(const QImage& image) {
    CurvePicture picture;
    picture.screen = image;
    EXPECT_TRUE(ConvertToDib(picture));
    return picture;
  }

  static std::vector<uint8_t> ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
  }

  static uint32_t Le32(const std::vector<uint8_t>& b, size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
  }
  static uint16_t Le16(const std::vector<uint8_t>& b, size_t at) {
    return static_cast<uint16_t>(b[at] | b[at + 1] << 8);
  }

  fs::path m_dir;
};

TEST_F(CurveImageExportTest, BmpHeadersAreExact) {
  CurvePicture picture = Dib(Pattern(5, 3));
  const std::string path = PathOf("curve.bmp");
  ASSERT_TRUE(SaveBitmapByExtension(path, picture));
  const std::vector<uint8_t> file = ReadAll(path);
  const uint32_t stride = 16;  // 5 pixels of 3 bytes = 15, padded to 16
  ASSERT_EQ(file.size(), 54u + stride * 3);
  // file header
  EXPECT_EQ(file[0], 'B');
  EXPECT_EQ(file[1], 'M');
  EXPECT_EQ(Le32(file, 2), 54u + stride * 3);
  EXPECT_EQ(Le16(file, 6), 0);
  EXPECT_EQ(Le16(file, 8), 0);
  EXPECT_EQ(Le32(file, 10), 54u);
  // info header
  EXPECT_EQ(Le32(file, 14), 40u);
  EXPECT_EQ(Le32(file, 18), 5u);
  EXPECT_EQ(Le32(file, 22), 3u);  // positive: rows bottom-up
  EXPECT_EQ(Le16(file, 26), 1);
  EXPECT_EQ(Le16(file, 28), 24);
  EXPECT_EQ(Le32(file, 30), 0u);
  EXPECT_EQ(Le32(file, 34), stride * 3);
  EXPECT_EQ(Le32(file, 38), 2777u);
  EXPECT_EQ(Le32(file, 42), 2777u);
  EXPECT_EQ(Le32(file, 46), 0u);
  EXPECT_EQ(Le32(file, 50), 0u);
}

TEST_F(CurveImageExportTest, BmpRowsArePaddedToFourBytes) {
  for (int width = 1; width <= 4; ++width) {
    SCOPED_TRACE(width);
    const int height = 3;
    CurvePicture picture = Dib(Pattern(width, height));
    const std::string path = PathOf("w" + std::to_string(width) + ".bmp");
    ASSERT_TRUE(SaveBitmapByExtension(path, picture));
    const std::vector<uint8_t> file = ReadAll(path);
    const size_t stride = (3 * width + 3) / 4 * 4;
    EXPECT_EQ(stride, width == 1 ? 4u : width == 2 ? 8u : 12u);
    ASSERT_EQ(file.size(), 54 + stride * height);
    EXPECT_EQ(Le32(file, 34), stride * height);
    for (int row = 0; row < height; ++row) {
      for (size_t pad = 3 * width; pad < stride; ++pad) {
        EXPECT_EQ(file[54 + row * stride + pad], 0) << row;  // padding written as zeros
      }
    }
  }
}

TEST_F(CurveImageExportTest, BmpPixelsAreBlueGreenRedBottomUp) {
  const QImage image = Pattern(7, 4);
  CurvePicture picture = Dib(image);
  const std::string path = PathOf("pixels.bmp");
  ASSERT_TRUE(SaveBitmapByExtension(path, picture));
  const std::vector<uint8_t> file = ReadAll(path);
  const size_t stride = 24;  // 21 bytes padded
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 7; ++x) {
      const QRgb pixel = image.pixel(x, y);
      const size_t at = 54 + (3 - y) * stride + 3 * x;
      ASSERT_EQ(file[at], qBlue(pixel)) << x << "," << y;
      ASSERT_EQ(file[at + 1], qGreen(pixel)) << x << "," << y;
      ASSERT_EQ(file[at + 2], qRed(pixel)) << x << "," << y;
    }
  }
  // and Qt's own BMP reader agrees
  QImage back(QString::fromStdString(path));
  ASSERT_FALSE(back.isNull());
  EXPECT_EQ(back.convertToFormat(QImage::Format_RGB32), image);
}

TEST_F(CurveImageExportTest, PngReadsBackAsThePicture) {
  const QImage image = Pattern(61, 17);
  CurvePicture picture = Dib(image);
  const std::string path = PathOf("curve.png");
  ASSERT_TRUE(SaveBitmapByExtension(path, picture));
  const std::vector<uint8_t> file = ReadAll(path);
  ASSERT_GE(file.size(), 8u);
  EXPECT_EQ(file[1], 'P');
  EXPECT_EQ(file[2], 'N');
  EXPECT_EQ(file[3], 'G');
  QImage back(QString::fromStdString(path), "PNG");
  ASSERT_FALSE(back.isNull());
  EXPECT_EQ(back.convertToFormat(QImage::Format_RGB32), image);
}

TEST_F(CurveImageExportTest, PngCarries2777PixelsPerMetreLikeTheBmp) {
  CurvePicture picture = Dib(Pattern(9, 5));
  const std::string path = PathOf("curve.png");
  ASSERT_TRUE(SaveBitmapByExtension(path, picture));
  // The "pHYs" chunk, found by walking the chunks: 4-byte big-endian length, type, data, CRC.
  const std::vector<uint8_t> file = ReadAll(path);
  const auto be32 = [&](size_t at) {
    return static_cast<uint32_t>(file[at]) << 24 | file[at + 1] << 16 | file[at + 2] << 8 |
           file[at + 3];
  };
  bool found = false;
  for (size_t at = 8; at + 12 <= file.size();) {
    const uint32_t length = be32(at);
    if (std::string(file.begin() + static_cast<long>(at) + 4,
                    file.begin() + static_cast<long>(at) + 8) == "pHYs") {
      ASSERT_EQ(length, 9u);
      EXPECT_EQ(be32(at + 8), 2777u);   // pixels per unit across
      EXPECT_EQ(be32(at + 12), 2777u);  // pixels per unit down
      EXPECT_EQ(file[at + 16], 1);      // the unit is the metre
      found = true;
      break;
    }
    at += 12 + length;
  }
  EXPECT_TRUE(found);
  // Qt reads the same resolution back.
  QImage back(QString::fromStdString(path), "PNG");
  EXPECT_EQ(back.dotsPerMeterX(), 2777);
  EXPECT_EQ(back.dotsPerMeterY(), 2777);
}

TEST_F(CurveImageExportTest, OnlyAFileAtTheTargetIsReplaced) {
  CurvePicture picture = Dib(Pattern(2, 2));
  // An empty folder, a named pipe or a folder with a file in it where the picture should go:
  // the save fails and the thing stays as it was.
  fs::create_directories(m_dir / "empty.png");
  EXPECT_FALSE(SaveBitmapByExtension(PathOf("empty.png"), picture));
  EXPECT_TRUE(fs::is_directory(m_dir / "empty.png"));
  fs::create_directories(m_dir / "empty.bmp");
  EXPECT_FALSE(SaveBitmapByExtension(PathOf("empty.bmp"), picture));
  EXPECT_TRUE(fs::is_directory(m_dir / "empty.bmp"));
  ASSERT_EQ(mkfifo(PathOf("pipe.bmp").c_str(), 0600), 0);
  EXPECT_FALSE(SaveBitmapByExtension(PathOf("pipe.bmp"), picture));
  EXPECT_TRUE(fs::is_fifo(m_dir / "pipe.bmp"));
  // A symbolic link is replaced by the picture; the file it pointed to stays.
  {
    std::ofstream out(PathOf("target.txt"));
    out << "kept";
  }
  fs::create_symlink(m_dir / "target.txt", m_dir / "link.png");
  ASSERT_TRUE(SaveBitmapByExtension(PathOf("link.png"), picture));
  EXPECT_FALSE(fs::is_symlink(m_dir / "link.png"));
  EXPECT_EQ(ReadAll(PathOf("target.txt")).size(), 4u);
}

TEST_F(CurveImageExportTest, ExtensionDecidesTheFormatWithoutRegardToCase) {
  CurvePicture picture = Dib(Pattern(8, 8));
  ASSERT_TRUE(SaveBitmapByExtension(PathOf("upper.PNG"), picture));
  const std::vector<uint8_t> png = ReadAll(PathOf("upper.PNG"));
  ASSERT_GE(png.size(), 4u);
  EXPECT_EQ(png[0], 0x89);
  EXPECT_EQ(png[1], 'P');
  ASSERT_TRUE(SaveBitmapByExtension(PathOf("upper.Bmp"), picture));
  EXPECT_EQ(ReadAll(PathOf("upper.Bmp"))[0], 'B');

  EXPECT_FALSE(SaveBitmapByExtension(PathOf("curve.jpg"), picture));
  EXPECT_FALSE(fs::exists(PathOf("curve.jpg")));
  EXPECT_FALSE(SaveBitmapByExtension(PathOf("curve"), picture));
  EXPECT_FALSE(SaveBitmapByExtension(PathOf("curve."), picture));
  // a dot in a folder name is no extension
  fs::create_directories(m_dir / "dir.png");
  EXPECT_FALSE(SaveBitmapByExtension(PathOf("dir.png/curve"), picture));
}

TEST_F(CurveImageExportTest, DoubledExtensionIsSavedOnce) {
  CurvePicture picture = Dib(Pattern(4, 4));
  ASSERT_TRUE(SaveBitmapByExtension(PathOf("curve.png.png"), picture));
  EXPECT_TRUE(fs::exists(PathOf("curve.png")));
  EXPECT_FALSE(fs::exists(PathOf("curve.png.png")));
  ASSERT_TRUE(SaveBitmapByExtension(PathOf("curve.bmp.BMP"), picture));
  EXPECT_TRUE(fs::exists(PathOf("curve.BMP")));
  // a different inner extension stays
  ASSERT_TRUE(SaveBitmapByExtension(PathOf("curve.bmp.png"), picture));
  EXPECT_TRUE(fs::exists(PathOf("curve.bmp.png")));
}

TEST_F(CurveImageExportTest, ExistingFileIsReplaced) {
  const std::string path = PathOf("old.bmp");
  {
    std::ofstream out(path, std::ios::binary);
    out << std::string(100000, 'x');
  }
  CurvePicture picture = Dib(Pattern(2, 2));
  ASSERT_TRUE(SaveBitmapByExtension(path, picture));
  EXPECT_EQ(fs::file_size(path), 54u + 8 * 2);
}

TEST_F(CurveImageExportTest, UnwritableTargetFails) {
  CurvePicture picture = Dib(Pattern(2, 2));
  EXPECT_FALSE(SaveBitmapByExtension(PathOf("missing/curve.bmp"), picture));
  EXPECT_FALSE(SaveBitmapByExtension(PathOf("missing/curve.png"), picture));
}

TEST_F(CurveImageExportTest, OnlyThirtyTwoBitPicturesAreSaved) {
  QImage indexed(6, 3, QImage::Format_Indexed8);
  indexed.setColorCount(4);
  for (int i = 0; i < 4; ++i) indexed.setColor(i, qRgb(i * 60, 255 - i * 60, 7));
  indexed.fill(2);
  CurvePicture picture;
  picture.screen = indexed;
  ASSERT_TRUE(ConvertToDib(picture));
  EXPECT_EQ(picture.header.bitCount, 8);
  EXPECT_EQ(picture.header.sizeImage, 8u * 3);  // 6 bytes padded to 8
  ASSERT_EQ(picture.colorTable.size(), 256u);
  EXPECT_EQ(picture.colorTable[2], (qRgb(120, 135, 7) & 0xffffffu));
  EXPECT_FALSE(SaveBitmapByExtension(PathOf("indexed.bmp"), picture));
  EXPECT_FALSE(SaveBitmapByExtension(PathOf("indexed.png"), picture));
  EXPECT_EQ(CopyToDib32(picture), nullptr);
  BitmapInfoHeader header;
  const uint8_t* bits = nullptr;
  EXPECT_FALSE(FillDibHeader(picture, &header, &bits));
}

TEST_F(CurveImageExportTest, ConversionRules) {
  CurvePicture picture = Dib(Pattern(3, 2));
  EXPECT_TRUE(picture.isDib);
  EXPECT_TRUE(picture.screen.isNull());
  EXPECT_EQ(picture.header.xPelsPerMeter, 2777);
  EXPECT_EQ(picture.header.sizeImage, 3u * 2 * 4);
  EXPECT_FALSE(ConvertToDib(picture));  // already device-independent
  CurvePicture empty;
  EXPECT_FALSE(ConvertToDib(empty));

  BitmapInfoHeader header;
  const uint8_t* bits = nullptr;
  ASSERT_TRUE(FillDibHeader(picture, &header, &bits));
  EXPECT_EQ(header.bitCount, 32);
  EXPECT_EQ(header.sizeImage, 24u);
  // the bottom row comes first
  EXPECT_EQ(bits[0], qBlue(Pattern(3, 2).pixel(0, 1)));

  const auto copy = CopyToDib32(picture);
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(copy->bits, picture.bits);

  // too few pixel bytes for the header: nothing is read past them
  EXPECT_TRUE(EncodeBmp24(header, bits, 23).empty());
  EXPECT_EQ(EncodeBmp24(header, bits, 24).size(), 54u + 12 * 2);
}

TEST_F(CurveImageExportTest, PngEncoderIsFoundByExtension) {
  EXPECT_FALSE(FindImageEncoder("png").empty());
  EXPECT_FALSE(FindImageEncoder("PNG").empty());
  EXPECT_TRUE(FindImageEncoder("bmp").empty());
  EXPECT_TRUE(FindImageEncoder("").empty());
}

TEST(RenderCurveImage, SavesTheGraphAsTheWindowWouldShowIt) {
  const std::string dir =
      ::testing::TempDir() + "quorvel_render_image_" + std::to_string(::getpid());
  std::filesystem::create_directories(dir);
  CSharedState shared;
  shared.m_curveFmin = 50.0;
  shared.m_curveFmax = 5000.0;
  shared.m_fmin = 1000.0;  // the range fields were changed after the measurement
  shared.m_fmax = 1500.0;
  SetGraphCaption(shared, "Playing File \"sweep\"");
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

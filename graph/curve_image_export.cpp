// Curve image export: the graph's picture as a PNG or a 24-bit BMP file.
#include "graph/curve_image_export.h"

#include <QBuffer>
#include <QByteArray>
#include <QImageWriter>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <limits>

#include "base/atomic_file.h"
#include "graph/graphical.h"

namespace quorvel {

namespace {

constexpr size_t kMaxImagePath = 4095;  // longest target path [bytes]
constexpr int kPngQuality = -1;         // the PNG writer's default compression

bool EqualsNoCase(const std::string& a, const char* b) {
  const size_t n = std::strlen(b);
  if (a.size() != n) return false;
  for (size_t i = 0; i < n; ++i) {
    if (std::toupper(static_cast<unsigned char>(a[i])) !=
        std::toupper(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

// Position of the "." that starts the file name's extension, or npos: only a dot after the last
// separator counts, so a dot in a folder name is no extension.
size_t ExtensionDot(const std::string& path) {
  const size_t dot = path.find_last_of('.');
  if (dot == std::string::npos) return dot;
  const size_t separator = path.find_last_of("/\\");
  if (separator != std::string::npos && separator > dot) return std::string::npos;
  return dot;
}

void PutLe16(std::vector<uint8_t>& out, uint32_t v) {
  out.push_back(static_cast<uint8_t>(v & 0xff));
  out.push_back(static_cast<uint8_t>((v >> 8) & 0xff));
}

void PutLe32(std::vector<uint8_t>& out, uint32_t v) {
  PutLe16(out, v & 0xffff);
  PutLe16(out, v >> 16);
}

void PutInfoHeader(std::vector<uint8_t>& out, const BitmapInfoHeader& h) {
  PutLe32(out, h.size);
  PutLe32(out, static_cast<uint32_t>(h.width));
  PutLe32(out, static_cast<uint32_t>(h.height));
  PutLe16(out, h.planes);
  PutLe16(out, h.bitCount);
  PutLe32(out, h.compression);
  PutLe32(out, h.sizeImage);
  PutLe32(out, static_cast<uint32_t>(h.xPelsPerMeter));
  PutLe32(out, static_cast<uint32_t>(h.yPelsPerMeter));
  PutLe32(out, h.clrUsed);
  PutLe32(out, h.clrImportant);
}

// The picture in the byte order a device-independent picture of its depth holds.
QImage InDibByteOrder(const QImage& image) {
  switch (image.format()) {
    case QImage::Format_RGB32:
    case QImage::Format_ARGB32:
    case QImage::Format_ARGB32_Premultiplied:
      return image;  // blue, green, red, x in memory
    case QImage::Format_MonoLSB:
      return image.convertToFormat(QImage::Format_Mono);
    case QImage::Format_RGB888:
      return image.convertToFormat(QImage::Format_BGR888);
    default:
      if (image.depth() == 32) return image.convertToFormat(QImage::Format_RGB32);
      return image;
  }
}

}  // namespace

uint32_t DibRowStride(int32_t width, int bitsPerPixel) {
  if (width <= 0 || bitsPerPixel <= 0) return 0;
  const uint64_t bits = static_cast<uint64_t>(width) * static_cast<uint64_t>(bitsPerPixel);
  return static_cast<uint32_t>(((bits + 31) / 32) * 4);
}

bool ConvertToDib(CurvePicture& picture) {
  if (picture.isDib || picture.screen.isNull()) return false;
  const QImage image = InDibByteOrder(picture.screen);
  if (image.isNull()) return false;
  const int depth = image.depth();
  const int32_t width = image.width();
  const int32_t height = image.height();
  const uint32_t stride = DibRowStride(width, depth);
  const uint64_t size = static_cast<uint64_t>(stride) * static_cast<uint64_t>(height);
  if (stride == 0 || height <= 0 || size > std::numeric_limits<uint32_t>::max()) return false;

  CurvePicture dib;
  dib.isDib = true;
  dib.header.width = width;
  dib.header.height = height;
  dib.header.bitCount = static_cast<uint16_t>(depth);
  dib.header.sizeImage = static_cast<uint32_t>(size);
  dib.bits.assign(static_cast<size_t>(size), 0);
  const size_t copy = std::min<size_t>(stride, static_cast<size_t>(image.bytesPerLine()));
  for (int32_t row = 0; row < height; ++row) {
    // the bottom row of the picture comes first
    const uchar* from = image.constScanLine(height - 1 - row);
    std::memcpy(dib.bits.data() + static_cast<size_t>(row) * stride, from, copy);
  }
  if (depth <= 8) {
    const size_t colors = size_t{1} << depth;
    const QList<QRgb> table = image.colorTable();
    dib.colorTable.assign(colors, 0);
    for (size_t i = 0; i < colors; ++i) {
      if (i < static_cast<size_t>(table.size())) {
        dib.colorTable[i] = table[static_cast<qsizetype>(i)] & 0xffffffu;
      } else if (table.isEmpty()) {
        const auto grey = static_cast<uint32_t>(i * 255 / (colors - 1));
        dib.colorTable[i] = grey << 16 | grey << 8 | grey;  // a grey picture without a table
      }
    }
    dib.header.clrUsed = static_cast<uint32_t>(colors);
  }
  picture = std::move(dib);
  return true;
}

std::string FindImageEncoder(const std::string& extension) {
  if (!EqualsNoCase(extension, "png")) return std::string();
  const QByteArray mime("image/png");
  if (!QImageWriter::supportedMimeTypes().contains(mime)) return std::string();
  const QList<QByteArray> formats = QImageWriter::imageFormatsForMimeType(mime);
  if (formats.isEmpty()) return std::string();
  return formats.first().toStdString();
}

std::unique_ptr<CurvePicture> CopyToDib32(const CurvePicture& picture) {
  auto copy = std::make_unique<CurvePicture>();
  if (picture.isDib) {
    if (picture.header.bitCount != 32 || picture.bits.size() < picture.header.sizeImage) {
      return nullptr;
    }
    copy->isDib = true;
    copy->header = picture.header;
    copy->bits = picture.bits;
    return copy;
  }
  if (picture.screen.isNull() || picture.screen.depth() != 32) return nullptr;
  copy->screen = picture.screen;
  if (!ConvertToDib(*copy)) return nullptr;
  return copy;
}

bool FillDibHeader(const CurvePicture& picture, BitmapInfoHeader* header, const uint8_t** bits) {
  if (!picture.isDib || picture.header.bitCount != 32 || header == nullptr || bits == nullptr) {
    return false;
  }
  const uint64_t needed = uint64_t{4} * static_cast<uint64_t>(std::max(picture.header.width, 0)) *
                          static_cast<uint64_t>(std::max(picture.header.height, 0));
  if (needed == 0 || picture.bits.size() < needed) return false;
  *header = picture.header;
  header->sizeImage = static_cast<uint32_t>(needed);  // width x height x 4 in memory
  *bits = picture.bits.data();
  return true;
}

std::vector<uint8_t> EncodeBmp24(const BitmapInfoHeader& header, const uint8_t* bits,
                                 size_t bitsSize) {
  if (header.bitCount != 32 || header.width <= 0 || header.height <= 0 || bits == nullptr) {
    return {};
  }
  const auto width = static_cast<size_t>(header.width);
  const auto height = static_cast<size_t>(header.height);
  const uint64_t needed = uint64_t{4} * width * height;
  if (bitsSize < needed) return {};
  const uint32_t stride = DibRowStride(header.width, 24);  // ((3 w + 3) / 4) * 4
  const uint64_t imageSize = static_cast<uint64_t>(stride) * height;
  if (imageSize + kBmpPixelOffset > std::numeric_limits<uint32_t>::max()) return {};

  BitmapInfoHeader info = header;
  info.bitCount = 24;
  info.sizeImage = static_cast<uint32_t>(imageSize);
  std::vector<uint8_t> out;
  out.reserve(kBmpPixelOffset + static_cast<size_t>(imageSize));
  out.push_back('B');
  out.push_back('M');
  PutLe32(out, static_cast<uint32_t>(kBmpPixelOffset + imageSize));  // file size
  PutLe16(out, 0);                                                   // reserved
  PutLe16(out, 0);
  PutLe32(out, kBmpPixelOffset);
  PutInfoHeader(out, info);
  // rows stay bottom-up; each pixel keeps the low three bytes (blue, green, red)
  for (size_t row = 0; row < height; ++row) {
    const uint8_t* from = bits + row * width * 4;
    for (size_t x = 0; x < width; ++x) {
      out.push_back(from[4 * x]);
      out.push_back(from[4 * x + 1]);
      out.push_back(from[4 * x + 2]);
    }
    for (size_t pad = 3 * width; pad < stride; ++pad) out.push_back(0);
  }
  return out;
}

ImageSave WriteImageFile(CurvePicture* picture, const std::string& basePath,
                         const std::string& extension) {
  ImageSave save;
  if (picture == nullptr) return save;
  const bool png = EqualsNoCase(extension, "png");
  const bool bmp = EqualsNoCase(extension, "bmp");
  if (!png && !bmp) return save;

  // "curve.png" saved as png stays curve.png, not curve.png.png
  std::string base = basePath;
  const size_t dot = ExtensionDot(base);
  if (dot != std::string::npos && EqualsNoCase(base.substr(dot + 1), extension.c_str())) {
    base.erase(dot);
  }

  std::unique_ptr<CurvePicture> copy;
  const CurvePicture* source = picture;
  if (bmp) {
    const int depth = picture->isDib ? picture->header.bitCount : picture->screen.depth();
    if (depth != 32) return save;
    copy = CopyToDib32(*picture);
    if (copy == nullptr) {
      save.copyFailed = true;
      return save;
    }
    source = copy.get();
  }

  const std::string path = base + "." + extension;
  if (path.size() > kMaxImagePath) return save;

  BitmapInfoHeader header;
  const uint8_t* bits = nullptr;
  if (!FillDibHeader(*source, &header, &bits)) return save;

  if (png) {
    const std::string encoder = FindImageEncoder(extension);
    if (encoder.empty()) return save;
    QImage image(header.width, header.height, QImage::Format_RGB32);
    if (image.isNull()) return save;
    // The resolution the picture carries, as in the BMP header (Qt's own default is 3780).
    image.setDotsPerMeterX(header.xPelsPerMeter);
    image.setDotsPerMeterY(header.yPelsPerMeter);
    const size_t rowBytes = static_cast<size_t>(header.width) * 4;
    for (int32_t row = 0; row < header.height; ++row) {
      std::memcpy(image.scanLine(header.height - 1 - row), bits + row * rowBytes, rowBytes);
    }
    // Qt's PNG writer turns a quality into a zlib level (95 would mean no compression at all);
    // PNG is lossless either way, so the writer keeps its default compression. The picture is
    // encoded in memory: a save straight to a file does not report a failed write.
    QByteArray encoded;
    QBuffer buffer(&encoded);
    if (!buffer.open(QIODevice::WriteOnly) || !image.save(&buffer, encoder.c_str(), kPngQuality)) {
      return save;
    }
    const Result<void> whole =
        WriteWholeFile(path, encoded.constData(), static_cast<size_t>(encoded.size()));
    save.written = whole.Ok();
    save.failureWords = whole.Message();
    return save;
  }

  const std::vector<uint8_t> file = EncodeBmp24(header, bits, source->bits.size());
  if (file.empty()) return save;
  const Result<void> whole = WriteWholeFile(path, file.data(), file.size());
  save.written = whole.Ok();
  save.failureWords = whole.Message();
  return save;
}

ImageSave SaveBitmapByExtension(const std::string& path, CurvePicture& picture) {
  const size_t dot = ExtensionDot(path);
  const std::string extension = dot == std::string::npos ? std::string() : path.substr(dot + 1);
  if (!EqualsNoCase(extension, "png") && !EqualsNoCase(extension, "bmp")) return {};
  return WriteImageFile(&picture, path.substr(0, dot), extension);
}

ImageSave RenderCurveImage(CGraphical& graph, double fmin, double fmax, const std::string& path) {
  if (!graph.PaintGraph(kGraphAreaWidth, kGraphAreaHeight,
                        CGraphical::View{fmin, fmax, fmin, fmax})) {
    return {};
  }
  return graph.SaveCurveImage(path);
}

std::string WithImageExtension(const std::string& path, const std::string& extension) {
  const size_t length = extension.size() + 1;
  if (path.size() >= length &&
      EqualsNoCase(path.substr(path.size() - length), ("." + extension).c_str())) {
    return path;
  }
  return path + "." + extension;
}

}  // namespace quorvel

#pragma once

#include <QImage>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace quorvel {

class CGraphical;

// Curve image export: the graph's picture saved as a PNG file (through Qt's PNG writer) or as a
// 24-bit BMP file written byte for byte here. The picture goes the same way for both: the
// snapshot of the graph (a QImage as the screen holds it) becomes a device-independent picture
// (rows bottom-up, 2777 pixels per metre, 32 bits per pixel), and that is what is written.
// User-interface thread only (or quorvel-cli's main thread).

constexpr int32_t kDibPixelsPerMetre = 2777;  // about 70.5 pixels per inch
constexpr uint32_t kBitmapInfoHeaderSize = 40;
constexpr uint32_t kBitmapFileHeaderSize = 14;
constexpr uint32_t kBmpPixelOffset = 54;  // file header + info header [bytes]

// The 40-byte bitmap info header (stored little-endian in a BMP file).
struct BitmapInfoHeader {
  uint32_t size = kBitmapInfoHeaderSize;
  int32_t width = 0;   // [pixels]
  int32_t height = 0;  // [pixels], positive: rows bottom-up
  uint16_t planes = 1;
  uint16_t bitCount = 0;     // bits per pixel: 32 in memory and for PNG, 24 in a BMP file
  uint32_t compression = 0;  // none
  uint32_t sizeImage = 0;    // bytes of pixel rows
  int32_t xPelsPerMeter = kDibPixelsPerMetre;
  int32_t yPelsPerMeter = kDibPixelsPerMetre;
  uint32_t clrUsed = 0;
  uint32_t clrImportant = 0;
};

// A picture on its way to a file: first as the screen holds it, then, after ConvertToDib, in its
// device-independent form.
struct CurvePicture {
  QImage screen;  // before ConvertToDib: the snapshot; null afterwards
  bool isDib = false;
  BitmapInfoHeader header;           // when isDib: describes bits
  std::vector<uint8_t> bits;         // when isDib: pixel rows, bottom row first, each padded to a
                                     // multiple of 4 bytes
  std::vector<uint32_t> colorTable;  // when isDib with 8 bits per pixel or fewer: 2^depth entries
};

// How a picture's save went: written, or not and what the front end tells the user (the save's
// failure, kMsgCannotSaveFile, with failureWords on its second line). Tests and callers read it
// as a bool: written or not.
struct ImageSave {
  bool written = false;
  // The 32-bit copy a BMP file is made from could not be made: the front end shows
  // kMsgCannotCopyImage (captioned kCaptionError) before the save's failure.
  bool copyFailed = false;
  std::string failureWords;  // when writing the file failed: the path and the system's reason

  explicit operator bool() const { return written; }
};

// Bytes per row of a device-independent picture: width * bits rounded up to 4 bytes.
[[nodiscard]] uint32_t DibRowStride(int32_t width, int bitsPerPixel);

// Replaces the screen picture by its device-independent form of the same size and depth (rows
// bottom-up, 2777 pixels per metre; for 8 bits or fewer a colour table of 2^depth entries from
// the picture's own). Fails for a picture that is already device-independent or empty.
[[nodiscard]] bool ConvertToDib(CurvePicture& picture);

// Writes the picture to path as PNG or BMP, chosen by the extension after the file name's last
// "." (any case); any other extension fails.
[[nodiscard]] ImageSave SaveBitmapByExtension(const std::string& path, CurvePicture& picture);

// Writes the picture to basePath + "." + extension ("png" or "bmp", any case); a base path that
// already ends in the same extension loses it ("curve.png" + "png" gives curve.png). The file is
// encoded in memory and written with CAtomicFile: an earlier file of the target path is
// replaced only by the whole new one, a symbolic link there is replaced rather than written
// through, and a folder there makes the save fail and stays. PNG needs a 32-bit
// device-independent picture and carries its 2777 pixels per metre; BMP a 32-bit picture,
// which is copied and converted to 24-bit rows.
[[nodiscard]] ImageSave WriteImageFile(CurvePicture* picture, const std::string& basePath,
                                       const std::string& extension);

// The image writer for an extension ("png", any case, gives the writer of "image/png"), as the
// format name QImage::save takes; empty when there is none.
[[nodiscard]] std::string FindImageEncoder(const std::string& extension);

// A new 32-bit device-independent copy of the picture (from its screen form or its DIB form);
// null when the picture has no pixels or is not 32 bits per pixel.
[[nodiscard]] std::unique_ptr<CurvePicture> CopyToDib32(const CurvePicture& picture);

// The header and pixel rows of a 32-bit device-independent picture; false (nothing written)
// for any other picture.
[[nodiscard]] bool FillDibHeader(const CurvePicture& picture, BitmapInfoHeader* header,
                                 const uint8_t** bits);

// The bytes of a 24-bit BMP file for a 32-bit device-independent picture: the 14-byte file
// header, the 40-byte info header and the rows (blue, green, red; padding bytes zero).
// Empty when the header does not describe 32-bit rows or bits is too short for it.
[[nodiscard]] std::vector<uint8_t> EncodeBmp24(const BitmapInfoHeader& header, const uint8_t* bits,
                                               size_t bitsSize);

// The graph area of the main window [pixels]: 710 x 280 dialog units at base units 6 x 13.
constexpr int kGraphAreaWidth = 1065;
constexpr int kGraphAreaHeight = 455;

// Saves the graph as the main window would show it after a measurement over fmin..fmax [Hz],
// for front ends without a window (quorvel-cli's analyze and measure): painted at 1065 x 455
// pixels over that range with the shared state's graph caption, saved as PNG or BMP by the
// path's extension. The program's QGuiApplication must exist (for the fonts). Main thread,
// never while a measurement feeds the curve.
[[nodiscard]] ImageSave RenderCurveImage(CGraphical& graph, double fmin, double fmax,
                                         const std::string& path);

// The path with ".extension" appended unless it already ends in it (any case), as the save
// dialog adds its default extension: ("curve", "png") gives "curve.png", ("a.PNG", "png") stays.
[[nodiscard]] std::string WithImageExtension(const std::string& path, const std::string& extension);

}  // namespace quorvel

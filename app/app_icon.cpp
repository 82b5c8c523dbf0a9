#include "app/app_icon.h"

#include <QFile>
#include <QImageReader>

namespace quorvel {

QIcon ApplicationIcon() {
  QIcon icon;
  for (const int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
    const QString png = QString(":/icons/%1x%1/quorvel.png").arg(size);
    if (QFile::exists(png)) icon.addFile(png, QSize(size, size));
  }
  if (QImageReader::supportedImageFormats().contains("svg") && QFile::exists(":/quorvel.svg")) {
    icon.addFile(":/quorvel.svg");
  }
  return icon;
}

}  // namespace quorvel

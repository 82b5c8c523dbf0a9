#pragma once

#include <unistd.h>
#include <QImage>
#include <QRect>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>

#include "base/shared_state.h"
#include "graph/graph_resources.h"
#include "graph/graphical.h"

namespace quorvel {

constexpr int kAreaWidth = 1065;  // the main window's graph area [pixels]
constexpr int kAreaHeight = 455;

inline bool IsRgb(QRgb p, int r, int g, int b) {
  return qRed(p) == r && qGreen(p) == g && qBlue(p) == b;
}
inline bool IsWhite(QRgb p) {
  return qRed(p) > 250 && qGreen(p) > 250 && qBlue(p) > 250;
}
inline bool IsDark(QRgb p) {
  return qRed(p) < 110 && qGreen(p) < 110 && qBlue(p) < 110;
}
inline bool IsRed(QRgb p) {  // the curve, also as a renderer blends it
  return qRed(p) > 200 && qGreen(p) < 90 && qBlue(p) < 90;
}
inline bool IsCaptionBlue(QRgb p) {  // RGB(100,120,250), also as a renderer blends it
  return qBlue(p) > 200 && qBlue(p) - qRed(p) > 40;
}

// The smallest rectangle holding every pixel of within that matches (null when none does).
inline QRect BoundingBox(const QImage& image, const std::function<bool(QRgb)>& match,
                         QRect within = QRect()) {
  QRect box;
  within = within.isNull() ? image.rect() : within & image.rect();
  for (int y = within.top(); y <= within.bottom(); ++y) {
    for (int x = within.left(); x <= within.right(); ++x) {
      if (match(image.pixel(x, y))) box |= QRect(x, y, 1, 1);
    }
  }
  return box;
}

// The main window's graph painted with a flat curve at -30.7 dB (4 rows from the nearest grid
// lines) over 20..20000 Hz.
struct CPaintedGraph {
  CSharedState shared;
  CGraphical graph{shared};
  CPaintedGraph() {
    shared.m_curveFmin = shared.m_fmin = 20.0;
    shared.m_curveFmax = shared.m_fmax = 20000.0;
    for (int k = 0; k <= CGraphical::kLastPoint; ++k) graph.AddPoint(-30.7);
  }
  const QImage& Paint() {
    (void)graph.PaintGraph(kAreaWidth, kAreaHeight);
    return GraphPicture(graph);
  }
};

// A fresh folder for one test's files, removed afterwards.
struct CTempFolder {
  std::filesystem::path path =
      std::filesystem::temp_directory_path() / ("quorvel_print_" + std::to_string(::getpid()));
  CTempFolder() { std::filesystem::create_directories(path); }
  ~CTempFolder() { std::filesystem::remove_all(path); }
  std::string operator/(const std::string& file) const { return (path / file).string(); }
};

inline std::string Run(const std::string& command) {
  std::string out;
  char buffer[512];
  FILE* pipe = popen(command.c_str(), "r");
  while (pipe != nullptr && fgets(buffer, sizeof buffer, pipe) != nullptr) out += buffer;
  if (pipe != nullptr) pclose(pipe);
  return out;
}

// Page 1 of a PDF file rendered by poppler's pdftoppm at dpi, whole or the crop given in pixels.
inline QImage RenderPdf(const std::string& pdf, int dpi, QRect crop = QRect()) {
  std::string command = "pdftoppm -png -singlefile -f 1 -l 1 -r " + std::to_string(dpi);
  if (!crop.isNull()) {
    command += " -x " + std::to_string(crop.x()) + " -y " + std::to_string(crop.y()) + " -W " +
               std::to_string(crop.width()) + " -H " + std::to_string(crop.height());
  }
  Run(command + " '" + pdf + "' '" + pdf + "'");
  const QImage image(QString::fromStdString(pdf + ".png"));
  std::filesystem::remove(pdf + ".png");
  return image;
}

// The value of pdfinfo's "name:" line for the file.
inline std::string PdfInfo(const std::string& pdf, const std::string& name) {
  const std::string info = Run("pdfinfo '" + pdf + "' 2>/dev/null");
  const size_t at = info.find(name + ":");
  if (at == std::string::npos) return "";
  const size_t from = info.find_first_not_of(' ', at + name.size() + 1);
  return info.substr(from, info.find('\n', from) - from);
}

}  // namespace quorvel

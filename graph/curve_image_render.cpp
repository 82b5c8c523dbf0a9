// Curve pictures for front ends without a window.
#include "graph/curve_image_render.h"

#include <cctype>

#include "graph/graphical.h"

namespace quorvel {

bool RenderCurveImage(CGraphical& graph, double fmin, double fmax, const std::string& path,
                      std::string* failureWords) {
  if (!graph.PaintGraph(kGraphAreaWidth, kGraphAreaHeight,
                        CGraphical::View{fmin, fmax, fmin, fmax})) {
    return false;
  }
  return graph.SaveCurveImage(path, nullptr, failureWords);
}

std::string WithImageExtension(const std::string& path, const std::string& extension) {
  const std::string suffix = "." + extension;
  if (path.size() >= suffix.size()) {
    bool same = true;
    for (size_t i = 0; i < suffix.size(); ++i) {
      const auto a = static_cast<unsigned char>(path[path.size() - suffix.size() + i]);
      const auto b = static_cast<unsigned char>(suffix[i]);
      if (std::tolower(a) != std::tolower(b)) same = false;
    }
    if (same) return path;
  }
  return path + suffix;
}

}  // namespace quorvel

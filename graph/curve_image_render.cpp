// Curve pictures for front ends without a window.
#include "graph/curve_image_render.h"

#include <QGuiApplication>
#include <cctype>
#include <clocale>
#include <cstdlib>
#include <cstring>

#include "base/shared_state.h"
#include "graph/graphical.h"

namespace quorvel {

void EnsureGuiApplication() {
  if (QGuiApplication::instance() != nullptr) return;
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  // QGuiApplication keeps references to argc and argv: both live as long as the program.
  static int argc = 1;
  static char name[] = "quorvel-cli";
  static char* argv[] = {name, nullptr};
  static QGuiApplication* application = nullptr;
  application = new QGuiApplication(argc, argv);
  // Qt has set the C library's locale from the environment: under a decimal-comma locale
  // printf and scanf would write and read "1,5". Numbers in files, tags and labels never follow
  // the user's locale, so the numeric part goes back to "C" at once.
  std::setlocale(LC_NUMERIC, "C");
  // Ended when the program ends, before the Qt globals it made while starting are destroyed
  // (exit handlers run in reverse order of registration).
  std::atexit([] {
    delete application;
    application = nullptr;
  });
}

bool RenderCurveImage(CGraphical& graph, CSharedState& shared, const std::string& path,
                      const char* caption, std::string* failureWords) {
  EnsureGuiApplication();
  shared.m_fmin = shared.m_curveFmin;
  shared.m_fmax = shared.m_curveFmax;
  if (caption != nullptr) {
    const size_t length = strnlen(caption, sizeof shared.m_szGraphCaption - 1);
    std::memcpy(shared.m_szGraphCaption, caption, length);
    shared.m_szGraphCaption[length] = '\0';
  }
  if (!graph.PaintGraph(kGraphAreaWidth, kGraphAreaHeight)) return false;
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

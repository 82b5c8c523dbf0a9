#include "app/screen_fit.h"

#include <QGuiApplication>
#include <QScreen>

namespace quorvel {

std::vector<WindowRect> AvailableAreas() {
  std::vector<WindowRect> areas;
  for (const QScreen* screen : QGuiApplication::screens()) {
    areas.push_back(ToWindowRect(screen->availableGeometry()));
  }
  return areas;
}

QSize FittedSize(const QScreen* screen, const QSize& own, const QSize& least) {
  if (screen == nullptr) screen = QGuiApplication::primaryScreen();
  if (screen == nullptr) return own;
  const WindowSize fitted = FitWindowSize(
      WindowSize{own.width(), own.height()}, WindowSize{least.width(), least.height()},
      kFrameAllowance, ToWindowRect(screen->availableGeometry()));
  return QSize(fitted.width, fitted.height);
}

}  // namespace quorvel

#pragma once

#include <QRect>
#include <QSize>
#include <vector>

#include "control/window/window_placement.h"

class QScreen;
class QWidget;

// The screens as the window placement's arithmetic (control/window_placement.h) sees them, in
// the desktop's logical pixels. User-interface thread.

namespace quorvel {

// What a window manager's frame is taken to need around a window that is not shown yet: a
// title bar above and thin borders elsewhere [pixels].
inline constexpr FrameMargins kFrameAllowance{4, 40, 4, 4};

// The available area (the screen without its panels) of every screen.
[[nodiscard]] std::vector<WindowRect> AvailableAreas();

// The client size for a window on screen (none: the primary one) with the frame allowance:
// own, or as much of it as the available area holds, never below least.
[[nodiscard]] QSize FittedSize(const QScreen* screen, const QSize& own, const QSize& least);

[[nodiscard]] inline WindowRect ToWindowRect(const QRect& rect) {
  return WindowRect{rect.x(), rect.y(), rect.width(), rect.height()};
}
[[nodiscard]] inline QRect ToQRect(const WindowRect& rect) {
  return QRect(rect.left, rect.top, rect.width, rect.height);
}

}  // namespace quorvel

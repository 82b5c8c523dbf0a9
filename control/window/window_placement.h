#pragma once

#include <vector>

// The main window's size and place on the screens: the size it opens at on a small screen, and
// where it was when it last closed, kept in the preferences. Plain arithmetic; the window
// measures its screens and frame with Qt and hands the numbers here. User-interface thread.

namespace quorvel {

class IPreferences;

// Rectangles and sizes in the window system's pixels (a scaled desktop's logical pixels).
struct WindowRect {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
};
struct WindowSize {
  int width = 0;
  int height = 0;
};
// What the window manager adds around a window's client area [pixels].
struct FrameMargins {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
};

// The client size a window opens at on an available area (the screen without its panels),
// its frame around it: its own size, or as much of it as the area holds, never below its least
// size (a screen smaller than that leaves part of the window off it).
[[nodiscard]] WindowSize FitWindowSize(WindowSize own, WindowSize least, FrameMargins frame,
                                       WindowRect available);

// Where the window was when it last closed: its client rectangle in the normal (not maximised)
// state, and whether it was maximised. Kept in the preferences as 32-bit numbers under
// "WindowLeft", "WindowTop", "WindowWidth", "WindowHeight" and "WindowMaximized" (0 or 1);
// a width or height of 0 means none is kept.
inline constexpr char kPrefWindowLeft[] = "WindowLeft";
inline constexpr char kPrefWindowTop[] = "WindowTop";
inline constexpr char kPrefWindowWidth[] = "WindowWidth";
inline constexpr char kPrefWindowHeight[] = "WindowHeight";
inline constexpr char kPrefWindowMaximized[] = "WindowMaximized";

struct WindowPlacement {
  WindowRect rect;
  bool maximized = false;
};

[[nodiscard]] WindowPlacement ReadWindowPlacement(IPreferences& preferences);
void WriteWindowPlacement(IPreferences& preferences, const WindowPlacement& placement);

// True when a kept placement can be used again: at least the least size, and its rectangle
// wholly on the available area of one of the screens. A placement that fits none (a screen
// gone, a smaller resolution) is ignored and the window opens as on a first start.
[[nodiscard]] bool PlacementFits(const WindowPlacement& placement, WindowSize least,
                                 const std::vector<WindowRect>& availableAreas);

}  // namespace quorvel

#include "control/window/window_placement.h"

#include <algorithm>

#include "base/preferences.h"

namespace quorvel {

WindowSize FitWindowSize(WindowSize own, WindowSize least, FrameMargins frame,
                         WindowRect available) {
  const int roomWidth = available.width - frame.left - frame.right;
  const int roomHeight = available.height - frame.top - frame.bottom;
  return WindowSize{std::max(least.width, std::min(own.width, roomWidth)),
                    std::max(least.height, std::min(own.height, roomHeight))};
}

WindowPlacement ReadWindowPlacement(IPreferences& preferences) {
  WindowPlacement placement;
  placement.rect.left = preferences.ReadInt(kPrefWindowLeft, 0);
  placement.rect.top = preferences.ReadInt(kPrefWindowTop, 0);
  placement.rect.width = preferences.ReadInt(kPrefWindowWidth, 0);
  placement.rect.height = preferences.ReadInt(kPrefWindowHeight, 0);
  placement.maximized = preferences.ReadInt(kPrefWindowMaximized, 0) != 0;
  return placement;
}

void WriteWindowPlacement(IPreferences& preferences, const WindowPlacement& placement) {
  preferences.WriteInt(kPrefWindowLeft, placement.rect.left);
  preferences.WriteInt(kPrefWindowTop, placement.rect.top);
  preferences.WriteInt(kPrefWindowWidth, placement.rect.width);
  preferences.WriteInt(kPrefWindowHeight, placement.rect.height);
  preferences.WriteInt(kPrefWindowMaximized, placement.maximized ? 1 : 0);
}

bool PlacementFits(const WindowPlacement& placement, WindowSize least,
                   const std::vector<WindowRect>& availableAreas) {
  const WindowRect& r = placement.rect;
  if (r.width < least.width || r.height < least.height) return false;
  // 64-bit sums: a stored number may be anything a 32-bit value holds
  const auto inside = [&r](const WindowRect& area) {
    return r.left >= area.left && r.top >= area.top &&
           static_cast<long long>(r.left) + r.width <=
               static_cast<long long>(area.left) + area.width &&
           static_cast<long long>(r.top) + r.height <=
               static_cast<long long>(area.top) + area.height;
  };
  return std::any_of(availableAreas.begin(), availableAreas.end(), inside);
}

}  // namespace quorvel

#include "control/workbench/workbench_placement.h"

#include <algorithm>

namespace quorvel {

WindowRect PlaceBeside(const WindowRect& main, WindowSize own, WindowSize least,
                       const WindowRect& area, const WindowRect& coverable) {
  own.width = std::max(own.width, least.width);
  own.height = std::max(own.height, least.height);
  const int areaRight = area.left + area.width;
  const int areaBottom = area.top + area.height;
  const int mainRight = main.left + main.width;
  const int mainBottom = main.top + main.height;
  // Beside it, level with its top where that leaves the window on the area.
  const int height = std::min(own.height, std::max(least.height, area.height));
  const int top = std::clamp(main.top, area.top, std::max(area.top, areaBottom - height));
  const int right = areaRight - mainRight;
  if (right >= least.width) {
    return {mainRight, top, std::min(own.width, right), height};
  }
  const int left = main.left - area.left;
  if (left >= least.width) {
    const int width = std::min(own.width, left);
    return {main.left - width, top, width, height};
  }
  const int width = std::min(own.width, std::max(least.width, area.width));
  const int x = std::clamp(main.left, area.left, std::max(area.left, areaRight - width));
  const int below = areaBottom - mainBottom;
  if (below >= least.height) {
    return {x, mainBottom, width, std::min(own.height, below)};
  }
  const int above = main.top - area.top;
  if (above >= least.height) {
    const int h = std::min(own.height, above);
    return {x, main.top - h, width, h};
  }
  if (coverable.width <= 0 || coverable.height <= 0) {
    return {std::max(area.left, areaRight - least.width), top, least.width, height};
  }
  // over the graph alone where least fits there, else as little below it as least needs
  const int overHeight =
      std::clamp(coverable.height, least.height, std::max(least.height, own.height));
  const int overTop =
      std::clamp(coverable.top, area.top, std::max(area.top, areaBottom - overHeight));
  return {std::max(area.left, areaRight - least.width), overTop, least.width, overHeight};
}

}  // namespace quorvel

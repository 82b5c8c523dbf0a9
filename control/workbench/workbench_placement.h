#pragma once
// Where the workbench window opens: beside the main window, so that it covers none of the main
// window's controls. Plain C++; desktop logical pixels, frames included.
#include "control/window/window_placement.h"

namespace quorvel {

// The frame for a window of size own (at least least) next to main within the available area:
// to its right, else to its left, else below, else above, each where at least least fits
// (narrowed or lowered to the room, never below least). Where no side has room, at the right
// end of the area, as narrow as least allows, over coverable: the part of the main window (its
// graph) that may be covered, as high as it where least fits, so that the controls above and
// below it stay in view (an empty coverable: level with the main window's top).
[[nodiscard]] WindowRect PlaceBeside(const WindowRect& main, WindowSize own, WindowSize least,
                                     const WindowRect& area, const WindowRect& coverable = {});

}  // namespace quorvel

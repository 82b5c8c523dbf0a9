#pragma once
// The palette colour of the index-th trace of the list as 0xRRGGBB. Kept apart from the list:
// the palette's and the session's looks share a name, so no file includes both headers.
#include <cstdint>

namespace quorvel {

[[nodiscard]] uint32_t WorkbenchColourAt(int index);

}  // namespace quorvel

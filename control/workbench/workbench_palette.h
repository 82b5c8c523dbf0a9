#pragma once
// The palette colour of the index-th trace of the list as 0xRRGGBB.
#include <cstdint>

namespace quorvel {

[[nodiscard]] uint32_t WorkbenchColourAt(int index);

}  // namespace quorvel

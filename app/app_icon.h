#pragma once

#include <QIcon>

namespace quorvel {

// The application icon: the PNG sizes rendered from resources/quorvel.svg at build time, and
// the SVG itself where the platform draws SVG icons. Null when the build had no renderer.
[[nodiscard]] QIcon ApplicationIcon();

}  // namespace quorvel

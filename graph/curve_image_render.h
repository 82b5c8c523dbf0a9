#pragma once

#include <string>

namespace quorvel {

class CGraphical;

// The graph area of the main window [pixels]: 710 x 280 dialog units at base units 6 x 13.
constexpr int kGraphAreaWidth = 1065;
constexpr int kGraphAreaHeight = 455;

// Saves the graph as the main window would show it after a measurement over fmin..fmax [Hz],
// for front ends without a window (quorvel-cli's analyze and measure): the graph is painted at
// 1065 x 455 pixels over that range, with the graph caption of the shared state, and saved as
// PNG or BMP by the path's extension. Returns whether the file was written;
// when writing it failed, *failureWords (may be null) names the path and the system's reason.
// The program's QGuiApplication must exist (the fonts need it). Main thread, never while a
// measurement feeds the curve.
[[nodiscard]] bool RenderCurveImage(CGraphical& graph, double fmin, double fmax,
                                    const std::string& path, std::string* failureWords = nullptr);

// The path with ".extension" appended unless it already ends in it (any case), as the save
// dialog adds its default extension: ("curve", "png") gives "curve.png", ("a.PNG", "png")
// stays.
[[nodiscard]] std::string WithImageExtension(const std::string& path, const std::string& extension);

}  // namespace quorvel

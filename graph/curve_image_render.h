#pragma once

#include <string>

namespace quorvel {

class CGraphical;
struct CSharedState;

// The graph area of the main window [pixels]: 710 x 280 dialog units at base units 6 x 13.
constexpr int kGraphAreaWidth = 1065;
constexpr int kGraphAreaHeight = 455;

// Saves the graph as the main window would show it at this moment, for front ends without a
// window (quorvel-cli's analyze and measure): the displayed range is set to the range the curve
// was measured with, the caption (when not null) replaces the graph caption, the graph is
// painted at 1065 x 455 pixels and saved as PNG or BMP by the path's extension. Returns whether
// the file was written; when writing it failed, *failureWords (may be null) names the path and
// the system's reason. Makes a headless QGuiApplication (platform "offscreen" unless
// QT_QPA_PLATFORM says otherwise) when none exists yet, for the fonts. Call it on the main
// thread, never while a measurement feeds the curve.
[[nodiscard]] bool RenderCurveImage(CGraphical& graph, CSharedState& shared,
                                    const std::string& path, const char* caption = nullptr,
                                    std::string* failureWords = nullptr);

// Makes the headless QGuiApplication described above if none exists; it lives until the
// program ends, and LC_NUMERIC is set back to "C" as soon as it exists (Qt sets the whole C
// locale from the environment). Main thread only.
void EnsureGuiApplication();

// The path with ".extension" appended unless it already ends in it (any case), as the save
// dialog adds its default extension: ("curve", "png") gives "curve.png", ("a.PNG", "png")
// stays.
[[nodiscard]] std::string WithImageExtension(const std::string& path, const std::string& extension);

}  // namespace quorvel

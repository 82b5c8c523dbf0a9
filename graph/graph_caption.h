#pragma once
// The caption drawn at the top of the graph: its texts, composed in one place, and the one
// writer of the shared state's caption. No Qt here.
#include <string>
#include <string_view>

namespace quorvel {

struct CSharedState;

// What the curve on the graph is.
enum class CaptionSubject {
  kCapture,  // a measurement just made
  kReplay,   // a capture file played again
};

// The caption of a curve: "Quorvel Capture", or "Quorvel Capture with microphone \"MIC\"" for
// a capture; "Playing File \"NAME\"", or "Playing \"NAME\" captured with microphone \"MIC\""
// for the replay of the file named NAME. MIC is the selected chart's name, named only while a
// chart's correction is applied (chartApplied) and the selection is one of the chart list's.
[[nodiscard]] std::string ComposeGraphCaption(const CSharedState& shared, CaptionSubject subject,
                                              bool chartApplied, const std::string& fileName = {});

// The caption the graph draws, and its one writer, which keeps the first 2047 bytes of text.
// User-interface thread (or quorvel-cli's main thread).
[[nodiscard]] std::string GraphCaption(const CSharedState& shared);
void SetGraphCaption(CSharedState& shared, std::string_view text);

}  // namespace quorvel

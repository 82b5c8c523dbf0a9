// The graph's caption: the four texts that say what the curve is, and the shared state's buffer.
#include "graph/graph_caption.h"

#include <algorithm>
#include <cstring>

#include "base/shared_state.h"

namespace quorvel {

std::string ComposeGraphCaption(const CSharedState& shared, CaptionSubject subject,
                                bool chartApplied, const std::string& fileName) {
  const int32_t chart = chartApplied ? shared.m_nSelectedChart.load(std::memory_order_acquire) : -1;
  const bool named = chart >= 0 && static_cast<size_t>(chart) < shared.m_chartNames.size();
  // names end at their first zero byte, as texts do
  const std::string microphone =
      named ? shared.m_chartNames[static_cast<size_t>(chart)].c_str() : "";
  const std::string name = fileName.c_str();
  if (subject == CaptionSubject::kCapture) {
    return named ? "Quorvel Capture with microphone \"" + microphone + "\"" : "Quorvel Capture";
  }
  return named ? "Playing \"" + name + "\" captured with microphone \"" + microphone + "\""
               : "Playing File \"" + name + "\"";
}

std::string GraphCaption(const CSharedState& shared) {
  return {shared.m_szGraphCaption,
          strnlen(shared.m_szGraphCaption, sizeof shared.m_szGraphCaption)};
}

void SetGraphCaption(CSharedState& shared, std::string_view text) {
  // a text ends at its first zero byte, as it always did in the buffer
  const size_t length =
      std::min({text.size(), text.find('\0'), sizeof shared.m_szGraphCaption - 1});
  std::copy_n(text.data(), length, shared.m_szGraphCaption);
  shared.m_szGraphCaption[length] = '\0';
}

}  // namespace quorvel

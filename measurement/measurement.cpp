#include "measurement/measurement.h"

#include <utility>

#include "base/messages.h"
#include "base/util.h"

namespace quorvel {

std::vector<std::string> MeasurementWarnings::Texts() const {
  std::vector<std::string> texts;
  if (replayed) return replayTexts;
  if (clippedPoints > 0) {
    // Lowering the gain cannot mend a device that clipped; lowering its level mends both.
    texts.push_back(CUtil::FormatString(
        deviceClippedPoints > 0 ? kMsgInputClippedBeforeGain : kMsgInputClipped, clippedPoints));
  }
  if (!otherPrograms.empty()) {
    std::string names;
    for (const std::string& name : otherPrograms) {
      if (name.empty()) continue;
      names += (names.empty() ? "" : ", ") + name;
    }
    std::string text = kMsgOtherProgram;
    if (!names.empty()) text.insert(text.find(':'), " (" + names + ")");
    texts.push_back(std::move(text));
  }
  if (!resampled.empty()) texts.push_back(resampled);
  return texts;
}

Measurement::Measurement(Parts parts) : m_parts(std::make_shared<const Parts>(std::move(parts))) {}

std::string Measurement::ChartName() const {
  return m_parts->chart ? m_parts->chart->Name() : std::string();
}

}  // namespace quorvel

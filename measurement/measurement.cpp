#include "measurement/measurement.h"

#include <utility>

#include "base/messages.h"
#include "base/util.h"

namespace quorvel {

std::vector<std::string> MeasurementWarnings::Texts() const {
  if (replayed) return replayTexts;
  std::vector<std::string> texts;
  for (std::string text : {ClipText(), OtherProgramText(), resampled}) {
    if (!text.empty()) texts.push_back(std::move(text));
  }
  return texts;
}

std::string MeasurementWarnings::ClipText() const {
  if (clippedPoints <= 0) return std::string();
  // Lowering the gain cannot mend a device that clipped; lowering its level mends both.
  return CUtil::FormatString(
      deviceClippedPoints > 0 ? kMsgInputClippedBeforeGain : kMsgInputClipped, clippedPoints);
}

std::string MeasurementWarnings::OtherProgramText() const {
  if (otherPrograms.empty()) return std::string();
  std::string names;
  for (const std::string& name : otherPrograms) {
    if (name.empty()) continue;
    names += (names.empty() ? "" : ", ") + name;
  }
  std::string text = kMsgOtherProgram;
  if (!names.empty()) text.insert(text.find(':'), " (" + names + ")");
  return text;
}

Measurement::Measurement(Parts parts) : m_parts(std::make_shared<const Parts>(std::move(parts))) {}

std::string Measurement::ChartName() const {
  return m_parts->chart ? m_parts->chart->Name() : std::string();
}

}  // namespace quorvel

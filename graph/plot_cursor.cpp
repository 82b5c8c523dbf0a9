// The reading cursor's values and texts.
#include "graph/plot_cursor.h"

#include <cmath>

#include "base/number_text.h"

namespace quorvel {

namespace {

constexpr int kFrequencyDigits = 3;

// value with one decimal, never "-0.0"; with a sign when `sign` is set
std::string Decibels(double value, bool sign) {
  std::string text = FormatFixed(value, 1);
  if (text == "-0.0") text = "0.0";
  if (sign && text[0] != '-') text = "+" + text;
  return text;
}

}  // namespace

CursorReadout ReadCursor(std::span<const PlotTrace> traces, double frequencyHz, int reference) {
  CursorReadout readout{frequencyHz, {}};
  double referenceDb = NAN;
  const bool hasReference = reference >= 0 && static_cast<size_t>(reference) < traces.size() &&
                            traces[static_cast<size_t>(reference)].visible;
  if (hasReference) referenceDb = TraceLevelAt(traces[static_cast<size_t>(reference)], frequencyHz);
  for (size_t i = 0; i < traces.size(); ++i) {
    if (!traces[i].visible) continue;
    const double level = TraceLevelAt(traces[i], frequencyHz);
    const bool isReference = hasReference && static_cast<size_t>(reference) == i;
    readout.values.push_back({i, level, isReference ? NAN : level - referenceDb, isReference});
  }
  return readout;
}

std::string CursorFrequencyText(double hz) {
  if (!std::isfinite(hz) || !(hz > 0.0)) return "--";
  // rounded first, so that 999.7 Hz reads "1 kHz", not "1e+03 Hz"
  const double unit = std::pow(10.0, std::floor(std::log10(hz)) - (kFrequencyDigits - 1));
  const double rounded = std::round(hz / unit) * unit;
  return rounded >= 1000.0 ? FormatGeneral(rounded / 1000.0, kFrequencyDigits) + " kHz"
                           : FormatGeneral(rounded, kFrequencyDigits) + " Hz";
}

std::string CursorValueText(const CursorValue& value) {
  if (!std::isfinite(value.levelDb)) return "--";
  std::string text = Decibels(value.levelDb, false) + " dB";
  if (std::isfinite(value.differenceDb)) text += " (" + Decibels(value.differenceDb, true) + ")";
  return text;
}

std::string CursorReadoutText(std::span<const PlotTrace> traces, const CursorReadout& readout) {
  std::string text = CursorFrequencyText(readout.frequencyHz) + ":";
  const char* separator = " ";
  for (const CursorValue& value : readout.values) {
    if (value.trace >= traces.size()) continue;
    text += separator + traces[value.trace].name + " " + CursorValueText(value);
    separator = ", ";
  }
  return text;
}

}  // namespace quorvel

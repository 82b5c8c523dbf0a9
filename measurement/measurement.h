#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "measurement/recording.h"
#include "measurement/resolved_chart.h"

namespace quorvel {

// What a finished curve carries that a user must be told: clipping, points missing, another
// program's sound, dropouts. A live measurement and a replayed recording word them differently.
struct MeasurementWarnings {
  bool replayed = false;        // from a replay of a saved recording
  int clippedPoints = 0;        // of the 1001 points: those whose block reached full scale,
  int deviceClippedPoints = 0;  // of those, at the input device's own full scale
  // Other programs' streams that played to the output during the sweep, by the names the
  // server gave them (a name may be empty): any of them is a warning.
  std::vector<std::string> otherPrograms;
  // That the server resampled the sweep or the recording, in words (empty: it did not).
  std::string resampled;
  // A replay's warnings, as the verdict on the replayed recording words them.
  std::vector<std::string> replayTexts;

  // The warnings in words, in the order to show them (base/messages.h).
  [[nodiscard]] std::vector<std::string> Texts() const;
  // Of a live measurement: that the input clipped and what to lower (the input device's level
  // when any point clipped before the gain, else the gain), and that other programs played to
  // the output, naming those the server named; each empty when it does not apply.
  [[nodiscard]] std::string ClipText() const;
  [[nodiscard]] std::string OtherProgramText() const;
};

// The tags of a capture file (files/wave_file.h), as read or as a save writes them.
struct CaptureTags {
  std::string title;  // the range, "%.2lf-%.2lf Hz"
  std::string artist;
  std::string album;
  std::string comment;  // the microphone chart's name
};

// A finished measurement: a value. The measurement sequence makes one when a curve is complete
// (a measurement, or the replay of a capture file), and so does the offline analysis of a
// capture file; every save, export, plot and analysis of a measurement takes one. It never
// changes once made and is cheap to copy: its parts are shared.
class Measurement {
 public:
  struct Parts {
    double fmin = 0.0;  // the range the curve was measured over [Hz]
    double fmax = 0.0;
    std::vector<double> levels;  // the live curve's points as it stored them [dB], at most 1001
    MeasurementWarnings warnings;
    std::shared_ptr<const Recording> recording;
    std::optional<ResolvedChart> chart;  // the chart the curve was corrected with
    CaptureTags tags;
    std::string caption;  // the graph's caption of the curve
    std::chrono::system_clock::time_point madeAt{};
    // [samples into the recording] where the played signal's first sample lies, as the engine
    // counted it (negative: before the recording's first sample); empty for a replayed or
    // loaded capture, whose file does not hold it.
    std::optional<int64_t> playedStart;
  };

  explicit Measurement(Parts parts);

  [[nodiscard]] double Fmin() const { return m_parts->fmin; }
  [[nodiscard]] double Fmax() const { return m_parts->fmax; }
  // Point k's level [dB] for k < PointCount(): point k lies at PointFrequency(k, fmin, fmax).
  [[nodiscard]] std::span<const double> Levels() const { return m_parts->levels; }
  [[nodiscard]] int PointCount() const { return static_cast<int>(m_parts->levels.size()); }
  [[nodiscard]] const MeasurementWarnings& Warnings() const { return m_parts->warnings; }
  [[nodiscard]] const Recording& GetRecording() const { return *m_parts->recording; }
  [[nodiscard]] std::shared_ptr<const Recording> SharedRecording() const {
    return m_parts->recording;
  }
  [[nodiscard]] const std::optional<ResolvedChart>& Chart() const { return m_parts->chart; }
  // The chart's name, empty without one.
  [[nodiscard]] std::string ChartName() const;
  [[nodiscard]] const CaptureTags& Tags() const { return m_parts->tags; }
  [[nodiscard]] const std::string& Caption() const { return m_parts->caption; }
  [[nodiscard]] std::chrono::system_clock::time_point MadeAt() const { return m_parts->madeAt; }
  [[nodiscard]] const std::optional<int64_t>& PlayedStart() const { return m_parts->playedStart; }

 private:
  std::shared_ptr<const Parts> m_parts;
};

}  // namespace quorvel

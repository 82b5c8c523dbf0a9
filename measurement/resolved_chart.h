#pragma once

#include <array>
#include <memory>
#include <string>

#include "base/result.h"
#include "files/chart_file.h"
#include "response/impulse_analysis.h"

namespace quorvel {

// A microphone calibration chart as one measurement takes it: read from its file once, parsed,
// and resampled for the measurement's range. The live curve subtracts LivePointCorrection(k)
// from point k; the impulse-response analysis subtracts CorrectionDb(f) from its levels, derived
// from the same resampled entries. Cheap to copy: the points and the entries are shared and
// never change.
class ResolvedChart {
 public:
  // The chart's name (its file title, as the caption and a saved capture name it) and its path.
  [[nodiscard]] const std::string& Name() const { return m_name; }
  [[nodiscard]] const std::string& Path() const { return m_path; }
  // The range it is resampled for [Hz].
  [[nodiscard]] double Fmin() const { return m_fmin; }
  [[nodiscard]] double Fmax() const { return m_fmax; }

  // Entry k of the resampled chart (files/chart_file.h: at fmin*(fmax/fmin)^(k/999), entries
  // 1000 and 1001 repeat 999, the rest of the 1020 are 0): what the live curve subtracts from
  // its point k [dB].
  [[nodiscard]] double LivePointCorrection(int k) const;
  [[nodiscard]] const std::array<double, kChartCurveSize>& LiveCorrection() const {
    return *m_entries;
  }
  // The chart's level at a frequency [Hz], interpolated linearly in log frequency between the
  // resampled entries, the first entry's level below fmin and the last one's above fmax.
  [[nodiscard]] double CorrectionDb(double frequencyHz) const;
  // CorrectionDb as the impulse-response analysis takes it.
  [[nodiscard]] LevelCorrection ResponseCorrection() const;

  // The same chart for another range, from the points read (no file is read again); fails with
  // kMsgChartNotValid where it is not usable there.
  [[nodiscard]] Result<ResolvedChart> ForRange(double fmin, double fmax) const;

 private:
  friend Result<ResolvedChart> ResolveChart(const std::string& path, const std::string& name,
                                            double fmin, double fmax, bool* opened);
  std::string m_name;
  std::string m_path;
  double m_fmin = 0.0;
  double m_fmax = 0.0;
  std::shared_ptr<const ChartPointTable> m_points;
  std::shared_ptr<const std::array<double, kChartCurveSize>> m_entries;
};

// Reads the chart file at path once (files/chart_file.h) and resamples it for fmin..fmax [Hz],
// named `name` (empty: its file title). Fails with kMsgChartNotValid when the chart is unusable
// (LoadChart's rules). *opened (may be null) as ReadChartText sets it.
[[nodiscard]] Result<ResolvedChart> ResolveChart(const std::string& path, const std::string& name,
                                                 double fmin, double fmax, bool* opened = nullptr);

}  // namespace quorvel

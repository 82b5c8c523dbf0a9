#pragma once
// The equaliser window's rules, for a trace it was opened with: the target and the fit's
// settings as the window asks for them, the fit with the curves its plot shows, the summary
// of the residual, a target file read by the chart rules, and the four equaliser files.
#include <string>
#include <vector>

#include "base/result.h"
#include "eq/eq_fit.h"
#include "measurement/trace.h"

namespace quorvel {

// What the window asks for: the target (flat, a house curve, or the points of a target file,
// read from targetPath when the kind is kPoints) and the fit's options; the match range is cut
// to the trace's range.
struct EqDesignSettings {
  EqTarget target;
  std::string targetPath;
  EqFitOptions fit;
};

// One fit and the curves shown with it, at the trace's frequencies. [Hz, dB]
struct EqDesign {
  std::string error;     // why there is no equaliser; empty when there is one
  std::string name;      // the trace's name: the equaliser's name in every file
  EqFitOptions options;  // as the fit ran (the match range within the trace's)
  EqFitResult fit;
  std::vector<double> frequenciesHz;
  std::vector<double> measuredDb;
  std::vector<double> targetDb;     // the target at the trace's level
  std::vector<double> predictedDb;  // measured + the filters (the preamp not included)
  std::vector<double> residualHz;   // the fit's grid over the match range
  std::vector<double> residualDb;   // the smoothed prediction less the target
};

// The fit of `trace` by the settings.
[[nodiscard]] EqDesign DesignEqualiser(const Trace& trace, const EqDesignSettings& settings);

// "Residual 1.23 dB RMS, largest 3.40 dB over 30-10000 Hz" (and the RMS outside the dips left
// alone when there are some), or the error.
[[nodiscard]] std::string ResidualSummary(const EqDesign& design);

// The target file's "frequency level" lines as the target's points, read with a calibration
// chart's rules (its comments, decimal commas, at most 2000 points); its levels may be absolute,
// as the target is moved to the trace's level. The reason when the file cannot be read or holds
// no usable curve.
[[nodiscard]] Result<void> ReadEqTargetFile(const std::string& path, EqTarget* target);

// The four files one filter set is written as.
enum class EqExportFormat { kPipeWire, kEasyEffects, kCamillaDsp, kApo };

struct EqExportKind {
  EqExportFormat format;
  const char* label;      // "PipeWire filter-chain drop-in"
  const char* extension;  // ".conf"
};

// The four, in the order the window offers them.
[[nodiscard]] const std::vector<EqExportKind>& EqExportKinds();

// The text of `format` for the design's filters and name.
[[nodiscard]] std::string EqExportText(EqExportFormat format, const EqDesign& design);

// Writes it to path, whole or not at all. The failure is kMsgCannotSaveFile and, on a second
// line, the path and the system's reason.
[[nodiscard]] Result<void> WriteEqExport(const std::string& path, EqExportFormat format,
                                         const EqDesign& design);

}  // namespace quorvel

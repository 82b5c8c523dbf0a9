#pragma once
// What quorvel-cli eq prints and writes from one fit: the filters and the residual, the four
// equaliser files, the CSV of the curves and the picture.
#include <string>
#include <vector>

#include "eq/eq_fit.h"

namespace quorvel {

class CliOptions;
class CCommandFiles;

// One fit and the curves its outputs show, at the trace's frequencies.
struct EqOutcome {
  std::string name;  // the equaliser's name: the capture's file name without folder and extension
  EqTrace trace;     // the capture's level as its FRD holds it
  EqFitOptions options;
  EqFitResult fit;
  std::vector<double> targetDb;     // the target at the trace's level
  std::vector<double> equaliserDb;  // the filters' gain, the preamp not included
};

// Fills the outcome's target and equaliser curves from its trace, target and fit.
void CompleteEqOutcome(const EqTarget& target, EqOutcome* outcome);

// The CSV: "frequency_hz,measured_db,target_db,eq_db,predicted_db", then one line per trace
// frequency (every 1/48 octave), predicted = measured + eq (the preamp, printed, comes on top).
[[nodiscard]] std::string EqCsvText(const EqOutcome& outcome);

// The outputs asked for (--pipewire, --easyeffects, --camilladsp, --apo, --png with ".png"
// added when missing, --csv), with their size bounds, for the checks before anything runs.
void AddEqOutputs(const CliOptions& options, CCommandFiles* files);

// The filters as Equalizer APO writes them, the residual over the match range and the dips left
// alone, on stdout.
void PrintEqOutcome(const EqOutcome& outcome);

// Writes every output asked for, each whole or not at all; each that fails is named on stderr
// (its message, then the path and the reason). False when one failed.
[[nodiscard]] bool WriteEqOutputs(const CliOptions& options, const EqOutcome& outcome);

}  // namespace quorvel

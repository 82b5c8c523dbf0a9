#include "cli/eq_arguments.h"

#include <algorithm>
#include <cmath>

#include "base/number_text.h"
#include "cli/cli_options.h"

namespace quorvel {

namespace {

// "F1,F2": two numbers and nothing else.
bool ReadMatch(const std::string& text, double* low, double* high) {
  const char* end = text.data() + text.size();
  const char* comma = ScanDouble(text.data(), end, low);
  if (comma == nullptr || comma == end || *comma != ',') return false;
  return ScanDouble(comma + 1, end, high) == end;
}

}  // namespace

bool ReadEqArguments(const CliOptions& options, EqArguments* a, std::string* error) {
  EqFitOptions& fit = a->fit;
  double filters = 0.0;
  if (!options.Number("filters", fit.peakingFilters, &filters, error) ||
      !options.Number("max-boost", fit.maxBoostDb, &fit.maxBoostDb, error) ||
      !options.Number("smooth", fit.smoothingBandsPerOctave, &fit.smoothingBandsPerOctave, error) ||
      !options.Number("gate", 0.0, &a->gateMs, error) ||
      !options.Number("bass-rise", 0.0, &a->target.bassRiseDb, error) ||
      !options.Number("bass-corner", a->target.bassCornerHz, &a->target.bassCornerHz, error) ||
      !options.Number("tilt", 0.0, &a->target.tiltDbPerDecade, error)) {
    return false;
  }
  if (filters != std::floor(filters) || filters < 1.0 || filters > 20.0) {
    *error = "--filters is a whole number of peaking filters, 1 to 20";
    return false;
  }
  fit.peakingFilters = static_cast<int>(filters);
  if (a->gateMs < 0.0) {
    *error = "the gate is a length in ms, 0 or more";
    return false;
  }
  a->matchGiven = options.Has("match");
  if (a->matchGiven && !ReadMatch(options.Value("match"), &fit.matchLowHz, &fit.matchHighHz)) {
    *error = "--match is two frequencies in Hz, F1,F2: " + options.Value("match");
    return false;
  }
  if (options.Has("bass-rise") != options.Has("bass-corner")) {
    *error = "--bass-rise and --bass-corner go together";
    return false;
  }
  const bool house = options.Has("bass-rise") || options.Has("tilt");
  const std::string target = options.Value("target", "flat");
  if (target != "flat") {
    if (house) {
      *error = "a target file takes no --bass-rise, --bass-corner or --tilt";
      return false;
    }
    a->targetPath = target;
  }
  a->target.kind = house ? EqTargetKind::kHouseCurve : EqTargetKind::kFlat;
  *error = CheckFitOptions(fit);
  if (error->empty()) *error = CheckTarget(a->target);
  return error->empty();
}

bool FitMatchRange(double fmin, double fmax, EqArguments* a, std::string* error) {
  EqFitOptions& fit = a->fit;
  const auto name = [](double low, double high) {
    return FormatGeneral(low, 6) + "-" + FormatGeneral(high, 6) + " Hz";
  };
  if (a->matchGiven && (fit.matchLowHz < fmin || fit.matchHighHz > fmax)) {
    *error = "the match range " + name(fit.matchLowHz, fit.matchHighHz) +
             " lies outside the capture's " + name(fmin, fmax);
    return false;
  }
  fit.matchLowHz = std::max(fit.matchLowHz, fmin);
  fit.matchHighHz = std::min(fit.matchHighHz, fmax);
  *error = CheckFitOptions(fit);
  if (!error->empty() && !a->matchGiven) {
    *error = "the capture's range " + name(fmin, fmax) + " leaves no match range (" + *error + ")";
  }
  return error->empty();
}

}  // namespace quorvel

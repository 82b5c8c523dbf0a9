#pragma once
// The plan of an off-axis series as the user gives it: the series' name, its plane, its angles
// (a list, or from/to/step) and the names of its captures ("woofer hor 30.wav") in one folder.
// Plain C++.
#include <string>
#include <string_view>
#include <vector>

#include "base/result.h"
#include "measurement/polar_series.h"

namespace quorvel {

// The widest series: every degree from -180 to 180.
inline constexpr size_t kMostPolarAngles = 361;

// Angles as the user types them: a list of whole degrees separated by commas or spaces
// ("0, 30, 60"), or a range "FROM to TO by STEP" ("-90 to 90 by 15"). The angles in the order
// given, or the rule.
[[nodiscard]] Result<std::vector<int>> ParsePolarAngles(std::string_view text);

// The angles from `from` to `to` in steps of `step` (its sign is taken from the direction; the
// last step may stop short of `to`, which is then added). Each -180 .. 180, step not 0, at most
// kMostPolarAngles. Else the rule.
[[nodiscard]] Result<std::vector<int>> PolarAngleRange(int from, int to, int step);

// A series' name as its captures carry it: not empty, no "/" nor NUL, no space at either end,
// and read back from "NAME hor 0.wav" as itself. Else the rule.
[[nodiscard]] Result<void> CheckSeriesName(std::string_view name);

// The frequencies of a polar plot: "F1,F2,..." (spaces allowed), up to 8, each 0 < F <= 24000
// Hz. Else the rule, in words to follow "takes".
[[nodiscard]] Result<std::vector<double>> ParsePolarFrequencies(std::string_view text);

// folder/"NAME hor 30.wav".
[[nodiscard]] std::string PolarCapturePath(const std::string& folder, std::string_view name,
                                           PolarPlane plane, int angleDeg);

}  // namespace quorvel

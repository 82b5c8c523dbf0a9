#pragma once

#include <string>
#include <string_view>

#include "base/result.h"
#include "eq/eq_fit.h"

namespace quorvel {

// Equalizer APO's (and AutoEQ's) parametric text read back into a filter set, so that an
// equaliser written by quorvel-cli eq (or by another program in that form) can be measured
// through: an optional "Preamp: G dB" line, then "Filter N: ON PK Fc F Hz Gain G dB Q Q" lines
// (PK, LSC, HSC; LS and HS as LSC and HSC; a shelf's Q is taken as kShelfQ, the slope every
// writer uses). Lines that are empty or start with "#" are skipped, and so are filters marked
// OFF. Numbers always with a decimal point. Limits: at most 64 filters, each within 10 Hz to
// 20000 Hz, a gain within -30..+30 dB, a peaking Q within 0.05..50, a preamp within -60..0 dB.

inline constexpr int kMaxReadFilters = 64;

// The filter set; fails with the reason ("line 3: ...") for a text that is not such an
// equaliser.
[[nodiscard]] Result<EqFilterSet> ReadApoText(std::string_view text);

// The same from a file of at most 1 MB. Fails with the reason (the path, then why).
[[nodiscard]] Result<EqFilterSet> ReadApoFile(const std::string& path);

}  // namespace quorvel

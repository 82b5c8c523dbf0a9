#pragma once

// The texts of traces, as the caller writes them through the atomic file writer; every number
// with a decimal point, whatever the locale.
#include <span>
#include <string>

#include "base/result.h"
#include "measurement/trace.h"

namespace quorvel {

// The FRD text of a trace, in response_export's format: comment lines beginning with "*" (what
// it is; for a derived trace its way and one "* Source:" line per source; range, gate,
// smoothing, what the phase is, time reference, scale, offset, microphone), then
// "frequency_hz level_db phase_deg" lines. With a loopback time reference the phase keeps the
// acoustic delay (the phases of drivers measured one after another add up as in the air);
// otherwise it is timed from the impulse response's peak. A trace without a phase writes 0.
[[nodiscard]] std::string FormatTraceFrd(const Trace& trace);

// A CSV field: the text as it is, or quoted as CSV quotes it when it holds a comma, a quote or a
// line break.
[[nodiscard]] std::string CsvField(const std::string& text);

// The overlay CSV of traces over their common range: a header "frequency_hz,NAME1,NAME2,..."
// (a name holding a comma, a quote or a line break quoted as CSV quotes it), then one line per
// 1/48-octave frequency from the common fmin, levels in dB. Smoothing is the caller's
// (Smoothed). Refused without a common range.
[[nodiscard]] Result<std::string> FormatOverlayCsv(std::span<const Trace> traces);

}  // namespace quorvel

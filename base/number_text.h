#pragma once

#include <string>

namespace quorvel {

// Numbers in the texts Quorvel writes and reads (tags, preferences, curve files, graph labels),
// always with a decimal point: the C locale's forms of printf and scanf, whatever locale the
// process runs in (a Qt application sets the user's, where "1.5" may be written "1,5").

// value as "%.*f" writes it with `decimals` digits after the point ("%.2f" of 100 is "100.00").
[[nodiscard]] std::string FormatFixed(double value, int decimals);

// value as "%.*g" writes it with `precision` significant digits ("%g" is precision 6).
[[nodiscard]] std::string FormatGeneral(double value, int precision);

// Reads a number from text [begin, end) as "%lf" does: leading white space, one sign, then the
// longest decimal (or "0x" hexadecimal) number, "inf" or "nan"; a number too large reads as
// infinity, one too small as 0. Returns the position after the number, or nullptr (value
// untouched) when the text does not start with one.
[[nodiscard]] const char* ScanDouble(const char* begin, const char* end, double* value);

}  // namespace quorvel

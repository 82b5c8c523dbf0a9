#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

// Microphone calibration charts: small text files of frequency / level pairs, one pair a line,
// that describe a measurement microphone's own response. A chart is read whole, parsed in one
// pass into a table of points and resampled onto the 1000-step grid of the curve's range; the
// curve store subtracts the result from every response point while the calibration is applied.
//
// The reading rules, in short:
// - the file holds 1 to 128000 bytes; CR LF and a lone CR read as LF, a Ctrl-Z or NUL byte ends
//   the text, a UTF-8 byte-order mark at the start is skipped, and a UTF-16 text (a NUL in every
//   other byte, with or without a byte-order mark) reads as no text;
// - the text is cut into line pieces of at most 63 characters (a longer line is examined 63
//   characters at a time);
// - a piece that starts with a digit or "." is a data line: frequency [Hz] and level [dB] read
//   as C numbers (never with the user's decimal separator), separated by anything that is not
//   part of a number token; whatever follows the level is ignored; every other piece is a comment;
// - a chart written with decimal commas, as European programs write them ("31,5;-0,71"), reads
//   its commas as decimal points: one whose number lines (first non-blank character a digit, a
//   sign or ".") hold no "." and put a "," between two digits, provided each such line still
//   holds two numbers when read so ("20,5" alone stays 20 Hz at 5 dB);
// - a point is taken when its frequency is above 0 and both numbers are finite; at most 2000;
// - a data line with a single number gives a point at 0 dB and ends the chart;
// - a chart from which no point is taken is unusable, and so is one with a resampled level
//   beyond +-60 dB: no microphone departs that far from flat, so such a chart holds absolute
//   levels (dB SPL) or garbage, and subtracting it would bury the curve.
//
// Everything here runs on the user-interface thread (or the command line's main thread).

namespace quorvel {

constexpr uint32_t kMaxChartFileSize = 128000;  // larger chart files are unusable [bytes]
constexpr int kMaxChartPoints = 2000;           // points after the 2000th are never read
constexpr size_t kChartPieceLength = 63;        // longest line piece [characters]
constexpr size_t kChartCurveSize = 1020;        // entries of a calibration curve
constexpr int kChartGridSteps = 999;            // entry k lies at fmin*(fmax/fmin)^(k/999)
constexpr int kChartCurveEntries = 1002;        // entries 0..1001 are written
constexpr double kSameLogFrequency = 2.5e-16;   // log10 frequencies this close are the same
constexpr double kMaxChartLevelDb = 60.0;       // a resampled level beyond +-60 dB: unusable

// The points of one chart in file order: base-10 logarithm of the frequency [log10 Hz] and the
// level [dB].
struct ChartPointTable {
  double logFrequency[kMaxChartPoints];
  double level[kMaxChartPoints];
  int count = 0;
};

// Examines the line piece that starts at text (zero-terminated): the characters up to and
// including the first LF, at most 63 and never past the terminator. Writes the frequency and the
// level it holds (both 0 when absent or not readable). Returns the number of characters the
// piece holds, or -1 when the chart ends here: at the end of the text, or after a data line
// whose first number is all it holds.
int ParseChartLine(const char* text, double* frequencyHz, double* levelDb);

// The chart text of a file's bytes as they would read in text mode: a UTF-8 byte-order mark at
// the start is skipped, CR LF and a lone CR become LF, and the text ends at a Ctrl-Z (0x1A) or
// NUL byte. Empty for a UTF-16 text: one that starts with its byte-order mark (FF FE or FE FF)
// or has a NUL as its second and fourth byte.
std::string ChartTextOfBytes(const char* bytes, size_t count);

// Reads the chart file at path into *text (see ChartTextOfBytes). False when the file is not a
// regular file of 1 to 128000 bytes, holds a character that a file name may not hold in its
// path, cannot be opened or read, or yields no text. *opened (may be null): whether the file
// passed the size and name checks and opened, as the chart folder's scan requires of a chart.
bool ReadChartText(const std::string& path, std::string* text, bool* opened = nullptr);

// Parses a chart text into *table, one ParseChartLine after another: every piece with a finite
// frequency above 0 and a finite level adds a point, until the text ends, the chart ends or
// 2000 points are taken. A decimal-comma chart (above) is parsed with its decimal commas as
// points. Returns the number of points taken.
int ParseChart(const std::string& text, ChartPointTable* table);

// Resamples the chart onto the grid of fmin..fmax [Hz]: entry k (0..999) is the chart's level at
// fmin*(fmax/fmin)^(k/999), interpolated linearly in log frequency between the two table entries
// around it; below the first entry the first level holds, above the last entry the last level.
// Entries 1000 and 1001 repeat entry 999, the rest of the 1020 entries are 0. The table is
// walked from its first entry and is not sorted: a descending chart gives its first level below
// its first frequency and its last level above. An empty table gives 0 everywhere.
void ResampleChart(const ChartPointTable& table, double fmin, double fmax,
                   std::span<double, kChartCurveSize> curve);

// ResampleChart when the chart is usable for fmin..fmax [Hz]: it holds a point, every resampled
// level lies within +-kMaxChartLevelDb (and is finite), and the range is positive and finite.
// False, with curve untouched, otherwise.
bool ResampleUsableChart(const ChartPointTable& table, double fmin, double fmax,
                         std::span<double, kChartCurveSize> curve);

// Reads, parses and resamples the chart file at path for the range fmin..fmax [Hz] into curve.
// False, with curve untouched, when the file is unusable (ReadChartText fails), no point is
// taken from it, a resampled level lies beyond +-kMaxChartLevelDb (or is not finite), or the
// range is not positive and finite.
bool LoadChart(const std::string& path, double fmin, double fmax,
               std::span<double, kChartCurveSize> curve);

}  // namespace quorvel

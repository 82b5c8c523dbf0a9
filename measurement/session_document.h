#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quorvel {

// What a session remembers of the workbench: its measurements in list order, the traces derived
// from them (as recipes, never as data), and the view. The workbench's model fills it from its
// measurements and rebuilds them from it; the session store writes and reads it as
// session.json. Plain values; one thread at a time (the user-interface thread).

// The version session.json is written with; a reader takes what it knows of a newer one.
inline constexpr int kSessionFormatVersion = 1;

struct TraceColour {
  uint8_t red = 0;
  uint8_t green = 0x72;
  uint8_t blue = 0xb2;
  friend bool operator==(const TraceColour&, const TraceColour&) = default;
};

// "#rrggbb" in lower case.
[[nodiscard]] std::string ColourText(TraceColour colour);
// "#rrggbb" (either case) into *colour; false (colour untouched) for anything else.
[[nodiscard]] bool ParseColourText(const std::string& text, TraceColour* colour);

// How a trace looks in the list and the plots; the same for a measurement and a derived trace.
struct TraceLook {
  std::string name;  // editable; UTF-8
  TraceColour colour;
  bool shown = true;
  std::string note;     // any text, newlines included
  double offsetDb = 0;  // the level offset the list shows (level alignment)
  friend bool operator==(const TraceLook&, const TraceLook&) = default;
};

// One measurement of the list: a capture WAV and how it is shown.
struct SessionEntry {
  std::string id;  // stable within the session: "m1", "m2", ...
  // The capture, always absolute in memory (any bytes Linux allows in a path); session.json
  // names it relative to the session folder when it lies inside it (see session_paths.h).
  std::string capturePath;
  TraceLook look;
  std::optional<int64_t> madeUtcSeconds;  // when it was measured [s since 1970, UTC]; unknown
  friend bool operator==(const SessionEntry&, const SessionEntry&) = default;
};

enum class DerivedKind {
  kAverageDb,      // mean of the smoothed levels in dB
  kAveragePower,   // RMS of the magnitudes
  kAverageVector,  // complex mean, after time alignment when `align` is set
  kDifference,     // sources[0] - sources[1]
  kEqualised,      // sources[0] played through `equaliser`: the prediction of an equaliser
};

// A trace computed from others, kept as its recipe: the workbench computes it again on opening.
struct DerivedTrace {
  std::string id;  // "d1", "d2", ...
  DerivedKind kind = DerivedKind::kAverageDb;
  bool align = true;  // for the vector average: align the sources in time first
  // By id: measurements, or derived traces listed before this one (so no recipe loops). Two or
  // more for an average; exactly A then B for a difference; one for an equalised trace.
  std::vector<std::string> sources;
  TraceLook look;
  // For an equalised trace: its preamp and filters as Equalizer APO's text, kept in the recipe
  // itself (the values as rounded and written), so the session holds all it needs.
  std::string equaliser{};
  friend bool operator==(const DerivedTrace&, const DerivedTrace&) = default;
};

// Which curve of each measurement the plot draws as its level.
enum class LevelCurve {
  kLive,      // the live curve, 1001 points as measured
  kResponse,  // the impulse-response analysis of the recording
};

// What the workbench's plot shows of its traces.
enum class ViewCurve {
  kLevel,  // the response levels of the impulse-response analysis
  kPhase,  // their phases
  kLive,   // each measurement's live curve, its 1001 points as measured
};

struct SessionView {
  int smoothingPerOctave = 0;  // N of 1/N octave: 1, 3, 6, 12, 24 or 48; 0 for none
  double gateMs = 0;           // 0: no gate
  double levelMinDb = -90;
  double levelMaxDb = 0;
  double frequencyMinHz = 20;
  double frequencyMaxHz = 20000;
  LevelCurve levelCurve = LevelCurve::kLive;
  std::vector<std::string> phaseIds;  // the traces whose phase is drawn
  std::string referenceId;            // the cursor's reference trace; empty for none
  // What the plot shows; a session written before the plot could show anything else shows
  // the levels. (The level curve above is kept as such sessions have it: the plot never read it.)
  ViewCurve curve = ViewCurve::kLevel;
  friend bool operator==(const SessionView&, const SessionView&) = default;
};

struct SessionDocument {
  std::vector<SessionEntry> entries;  // in list order
  std::vector<DerivedTrace> derived;  // in list order
  SessionView view;
  friend bool operator==(const SessionDocument&, const SessionDocument&) = default;
};

// The smoothings a view offers, and their texts: "none", "1/1", "1/3", ... "1/48".
[[nodiscard]] bool IsSmoothingPerOctave(int perOctave);
[[nodiscard]] std::string SmoothingText(int perOctave);
// The N of "1/N" (0 for "none"); false for any other text or an N not offered.
[[nodiscard]] bool ParseSmoothingText(const std::string& text, int* perOctave);

// The fresh id for a new measurement or derived trace: the prefix ("m" or "d") and one more than
// the largest number any id of the document with that prefix carries.
[[nodiscard]] std::string NextTraceId(const SessionDocument& document, char prefix);
// Whether a trace (measurement or derived) of that id is in the document.
[[nodiscard]] bool HasTraceId(const SessionDocument& document, const std::string& id);

// "2026-12-10T15:30:12Z" for a time in seconds since 1970, UTC.
[[nodiscard]] std::string UtcTimeText(int64_t utcSeconds);
// "YYYY-MM-DDTHH:MM:SS" with an optional fraction (dropped), then "Z" or "+hh:mm" / "-hh:mm";
// false for anything else, and for a date that does not exist.
[[nodiscard]] bool ParseUtcTimeText(const std::string& text, int64_t* utcSeconds);

}  // namespace quorvel

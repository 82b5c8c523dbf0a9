#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "measurement/session_document.h"

namespace quorvel {

// session.json's text, both ways (nlohmann-json; no file is touched here). Pretty-printed UTF-8
// whose numbers never follow the locale. Paths are written relative to the session folder when
// they lie inside it; a path that is not valid UTF-8 is written as "path_bytes" (its bytes in
// hexadecimal, which the reader prefers), beside a "path" for people to read in which each
// byte that is not UTF-8 shows as U+FFFD. Names and notes that are not valid UTF-8 are written
// with U+FFFD likewise. User-interface thread.

[[nodiscard]] std::string SessionJsonText(const SessionDocument& document,
                                          const std::string& sessionFolder);

// What a reading of session.json gave: what it could open, and what it could not, in words.
struct SessionReading {
  SessionDocument document;
  // One line each, naming the file and the place: "session.json: entry 3 names no capture;
  // left out", "session.json is not valid JSON at line 4, column 2: ...".
  std::vector<std::string> problems;
  // Something the file held was not taken (not JSON, an item left out, a value of the wrong
  // type, a newer version): writing the document back would lose it, so the file is worth
  // keeping aside first. A field that is merely missing takes its default and is not damage.
  bool damaged = false;
};

// A damaged file may hold a million faults: the first ones are listed, the others counted in a
// last line ("session.json: 12 more problems are not listed").
inline constexpr size_t kMostListedProblems = 100;
// JSON nested deeper than this is no session (it would only cost memory): refused as damaged.
inline constexpr int kMostSessionJsonDepth = 16;

// Whether a JSON text nests its arrays and objects (outside strings) deeper than most: a reader
// refuses such a text before parsing it.
[[nodiscard]] bool NestsDeeperThan(const std::string& text, int most);

// Reads session.json's text; relative capture paths are taken from sessionFolder. Takes what it
// can: an item that makes no sense is left out, a value of the wrong type takes its default, a
// missing or repeated id gets a fresh one, a recipe naming a trace that is not in the session
// (or not before it) is left out.
[[nodiscard]] SessionReading ReadSessionJson(const std::string& text,
                                             const std::string& sessionFolder);

}  // namespace quorvel

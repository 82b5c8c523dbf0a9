#pragma once

#include <string>

namespace quorvel {

// A text the window keeps in its settings (group "Preferences" of the user's
// ~/.config/Velkar/Quorvel.conf), read only: quorvel-cli never writes, moves or mends the
// window's settings. Empty when it is not stored or holds nothing but blanks; empty too, with a
// warning on stderr, when the file is not a regular file (never opened, so a named pipe cannot
// block) or cannot be parsed. Main thread.
[[nodiscard]] std::string StoredPreferenceText(const char* name);

// The window's chart folder ("CalibFiles"), a relative one taken from the data folder as the
// window takes it. Empty when none is stored.
[[nodiscard]] std::string StoredChartFolder();

}  // namespace quorvel

#pragma once

#include <string>

namespace quorvel {

// A text the window keeps in its settings (group "Preferences" of the user's
// ~/.config/Velkar/Quorvel.conf), read only: quorvel-cli never writes the window's settings.
// Empty when it is not stored or holds nothing but blanks. Main thread.
[[nodiscard]] std::string StoredPreferenceText(const char* name);

}  // namespace quorvel

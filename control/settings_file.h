#pragma once

#include <ctime>
#include <string>

namespace quorvel {

// The settings file as a file, before anything parses it: what stands at its path, and keeping
// a file that cannot be parsed aside so that nothing in it is lost. Both front ends read the
// same file (the window reads and writes it, quorvel-cli only reads it). Main thread.

// The names under which both front ends keep the user's files: QSettings' organisation and
// application, and the folders they name in the user's configuration and data folders.
inline constexpr char kOrganizationName[] = "Velkar";
inline constexpr char kApplicationName[] = "Quorvel";

// The application's own folder in a base folder: BASE/Velkar/Quorvel.
[[nodiscard]] inline std::string ApplicationFolder(const std::string& baseFolder) {
  return baseFolder + "/" + kOrganizationName + "/" + kApplicationName;
}
// The settings file in the user's configuration folder: CONFIG/Velkar/Quorvel.conf, the file
// QSettings(kOrganizationName, kApplicationName) uses on Linux.
[[nodiscard]] inline std::string SettingsFilePath(const std::string& configFolder) {
  return ApplicationFolder(configFolder) + ".conf";
}

enum class SettingsFileKind {
  kMissing,  // nothing at the path (or a link to nothing): a new file is made there
  kRegular,  // a regular file, or a link to one
  kOther,    // a named pipe, a folder, a device or a socket: never opened
};

// What stands at path, looked at without opening it: opening a named pipe would wait for a
// writer, and reading a device might never end.
[[nodiscard]] SettingsFileKind InspectSettingsFile(const std::string& path);

// The second line of a message about path when it is not a regular file: "PATH is not a regular
// file".
[[nodiscard]] std::string NotARegularFileWords(const std::string& path);

// Moves the file at path aside, beside it, as PATH.unreadable-YYYYMMDD-HHMMSS (local time of
// `when`), or with "-2", "-3", ... after that name while it is taken: an earlier kept file is
// never replaced. Returns the new path; empty when the file could not be moved, with the
// system's reason in *reason.
[[nodiscard]] std::string KeepSettingsFileAside(const std::string& path, std::time_t when,
                                                std::string* reason);

// What the window says once when it started after keeping its settings file aside.
[[nodiscard]] std::string SettingsKeptAsideMessage(const std::string& keptPath);

}  // namespace quorvel

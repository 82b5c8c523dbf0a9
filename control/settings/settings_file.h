#pragma once

#include <ctime>
#include <string>

#include "base/result.h"

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

// The largest settings file read [bytes]: the file holds a dozen short values, and parsing a
// huge one would take seconds and gigabytes before the window opens.
inline constexpr long long kMaxSettingsFileSize = 1LL << 20;

enum class SettingsFileKind {
  kMissing,   // nothing to be seen at the path (or a link to nothing): a new file goes there
  kRegular,   // a regular file, or a link to one
  kTooLarge,  // a regular file of more than kMaxSettingsFileSize bytes: never parsed
  kOther,     // a named pipe, a folder, a device or a socket: never opened
};

// What stands at path, looked at without opening it: opening a named pipe would wait for a
// writer, and reading a device might never end.
[[nodiscard]] SettingsFileKind InspectSettingsFile(const std::string& path);

// Makes the settings file's folder when it is missing, then looks whether the file can be read
// and written and its folder can take the new file that replaces it on every save. Empty when
// they can; otherwise "PATH: reason" with the system's reason in English ("Permission denied",
// "its folder cannot be written (Permission denied)").
[[nodiscard]] std::string SettingsFileAccessWords(const std::string& path);

// What the window says once when it runs with settings it cannot store: the first line as it
// has always been, then the file and why, then what follows.
[[nodiscard]] std::string SettingsNotWritableMessage(const std::string& accessWords);

// The bytes of the settings file at path, at most kMaxSettingsFileSize; empty when it cannot be
// read.
[[nodiscard]] std::string ReadSettingsFileBytes(const std::string& path);

// The text of KEY in [GROUP] of an INI settings file's bytes, as QSettings writes and reads
// it (quotes, backslash escapes, "@@" for a leading "@"), but byte for byte: QSettings decodes a
// value as UTF-8 and replaces what is not, and a path of the file system may be any bytes.
// False when the key is not there, or its value is a list or a typed value ("@ByteArray(...)"),
// which QSettings reads on its own.
[[nodiscard]] bool RawSettingsText(const std::string& fileBytes, const std::string& group,
                                   const std::string& key, std::string* text);

// The second line of a message about path when it is not a regular file: "PATH is not a regular
// file".
[[nodiscard]] std::string NotARegularFileWords(const std::string& path);

// Moves the file at path aside, beside it, as PATH.unreadable-YYYYMMDD-HHMMSS (local time of
// `when`), or with "-2", "-3", ... after that name while it is taken: an earlier kept file is
// never replaced. The new path, or the system's reason when the file could not be moved.
[[nodiscard]] Result<std::string> KeepSettingsFileAside(const std::string& path, std::time_t when);

// What the window says once when it started after keeping its settings file aside (one that
// could not be parsed, or was too large to be).
[[nodiscard]] std::string SettingsKeptAsideMessage(const std::string& keptPath);

}  // namespace quorvel

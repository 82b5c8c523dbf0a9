#pragma once

#include <cstdint>
#include <ctime>
#include <string>

#include "base/result.h"

namespace quorvel {

// Where a session's files live, and how session.json names them. Paths are byte strings, as
// Linux has them; the rules are lexical (a link is not followed). User-interface thread.

inline constexpr char kSessionFileName[] = "session.json";
inline constexpr char kSessionsFolderName[] = "Sessions";

// When a file was last written [s since 1970, UTC]: the time a list entry made from a capture
// file shows. 0 when the file cannot be asked.
[[nodiscard]] int64_t FileTimeUtc(const std::string& path);

// The local time of a moment [s since 1970, UTC], for the names below.
[[nodiscard]] std::tm LocalTimeOf(int64_t utcSeconds);

// "2026-12-10 153012": a session folder's name for the time its window started.
[[nodiscard]] std::string SessionFolderName(const std::tm& started);

// Makes the new session folder `dataFolder/Sessions/YYYY-MM-DD HHMMSS` (Sessions made as
// needed), with " (2)", " (3)", ... when another window started in the same second took the
// name. The workbench calls it when it saves its first measurement, so a window that measures
// nothing leaves no empty folder behind. The folder made; fails with "<path>: <reason>".
[[nodiscard]] Result<std::string> CreateSessionFolder(const std::string& dataFolder,
                                                      const std::tm& started);

// The text with every byte a Linux file name may not hold ("/", NUL) and every control byte
// (below 0x20, and 0x7F) replaced by "_", so a name made from a caption is one plain name.
[[nodiscard]] std::string SafeFileNamePart(const std::string& text);

// A name in folder that nothing has yet: `stem + extension`, else `stem (2) + extension`, ...
// The stem is shortened (at a character boundary) so that the name stays within the 255 bytes
// a Linux file name may have. Empty when a thousand names are all taken.
[[nodiscard]] std::string FreeFileName(const std::string& folder, const std::string& stem,
                                       const std::string& extension);

// The file name of a new measurement's capture in the session folder: its caption and the time
// it was made, "Quorvel Capture 2026-12-10 153012.wav", made safe and never one already taken.
[[nodiscard]] std::string NewCaptureFileName(const std::string& sessionFolder,
                                             const std::string& caption, const std::tm& made);

// The path made absolute (from the current folder) and lexically normal, without a trailing
// separator: "/a/b/../c/" is "/a/c".
[[nodiscard]] std::string NormalPath(const std::string& path);
// Whether path lies inside folder (both taken normal; the folder itself is not inside).
[[nodiscard]] bool LiesInside(const std::string& folder, const std::string& path);

// How session.json names a capture: relative to the session folder when it lies inside it,
// else absolute.
[[nodiscard]] std::string StoredCapturePath(const std::string& sessionFolder,
                                            const std::string& capturePath);
// The other way: a stored path as an absolute one (a relative one is taken from the folder).
[[nodiscard]] std::string ResolveCapturePath(const std::string& sessionFolder,
                                             const std::string& storedPath);

}  // namespace quorvel

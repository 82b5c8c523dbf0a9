#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/result.h"
#include "measurement/session_document.h"

namespace quorvel {

// A session on disk: a folder of capture WAVs (written by the capture save, as Save Audio File
// writes them) and its session.json. These are the commands the workbench's model gives; every
// failure comes back as "<path>: <reason>" for its message. User-interface thread.

// A session.json larger than this is refused unread.
inline constexpr uint64_t kMaxSessionFileBytes = 16u << 20;

// Writes the document as the folder's session.json, whole or not at all: a failed save leaves
// the earlier session.json as it was.
[[nodiscard]] Result<void> WriteSession(const std::string& sessionFolder,
                                        const SessionDocument& document);

struct OpenedSession {
  SessionDocument document;  // what could be opened; empty when nothing could
  // What could not, one line each ("session.json: entry 3 names no capture; left out"); a
  // missing capture is named here too, but its entry stays in the document.
  std::vector<std::string> problems;
  std::vector<std::string> missingCaptureIds;  // entries whose capture file is not there
  // Where a damaged session.json was kept before the workbench's next save replaces it
  // ("session damaged.json" beside it); empty when it was whole, or could not be kept.
  std::string keptAside;
};

// Reads the folder's session.json and looks for its captures. A damaged file opens what it can
// (session_json.h) and is kept aside under a free name, so nothing of it is lost when the
// workbench saves the session again; a missing or unreadable file opens nothing.
[[nodiscard]] OpenedSession OpenSession(const std::string& sessionFolder);

struct SessionCopy {
  SessionDocument document;  // the session as saved in the new folder
  // Captures of the old folder that were not there to copy; their entries keep the old path.
  std::vector<std::string> notCopied;
};

// Save Session As: the captures lying inside the old folder are copied (each whole or not at
// all; a name taken in the new folder gets " (2)"), those outside keep their absolute paths,
// and the new folder's session.json names the copies relative to it. The new folder is made as
// needed and must not hold a session.json yet. On a failure, every file and folder it made is
// removed again, and the old session stays as it was in any case.
[[nodiscard]] Result<void> SaveSessionAs(const SessionDocument& document,
                                         const std::string& oldFolder, const std::string& newFolder,
                                         SessionCopy* copy);

// Copies a file with CAtomicFile: the target is written whole or not at all.
[[nodiscard]] Result<void> CopyWholeFile(const std::string& source, const std::string& target);

}  // namespace quorvel

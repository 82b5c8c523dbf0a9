#pragma once
// The workbench's session: its list, the session folder (made only when the first measurement
// is kept, so a window that measures nothing leaves no empty folder), the recent sessions, and
// the keeping of each completed measurement's capture in the folder before it is shown.
// User-interface thread.
#include <cstdint>
#include <string>
#include <vector>

#include "control/workbench/workbench_list.h"

namespace quorvel {

struct CaptureFileContext;

class CWorkbenchSession {
 public:
  // A new session named for when it started, in dataFolder/Sessions.
  CWorkbenchSession(std::string dataFolder, int64_t startedUtcSeconds);

  CWorkbenchList& List() { return m_list; }
  const std::vector<std::string>& RecentSessions() const { return m_recent; }
  void SetRecentSessions(std::vector<std::string> recent) { m_recent = std::move(recent); }

  // Writes the finished recording into the session folder as Save Audio File writes a capture
  // ("<caption> YYYY-MM-DD HHMMSS.wav") and adds it to the list as "<caption> HH:MM:SS"; its
  // id in *id. False with *failureWords; a failed save has shown its message already.
  [[nodiscard]] bool KeepMeasurement(const CaptureFileContext& ctx, const std::string& caption,
                                     int64_t madeUtcSeconds, std::string* id,
                                     std::string* failureWords);

  // Open Session: the folder's session.json replaces the list (see CWorkbenchList::Open) and
  // leads the recent sessions.
  [[nodiscard]] bool Open(const std::string& folder, std::vector<std::string>* problems);

  // Save Session As (measurement/session_store.h); the new folder becomes the session's.
  // *notCopied: captures of the old folder that were not there to copy.
  [[nodiscard]] bool SaveAs(const std::string& folder, std::vector<std::string>* notCopied,
                            std::string* failureWords);

  // Makes the session folder when there is none yet (the list is then written there with its
  // next change); false with *failureWords when it cannot be made.
  [[nodiscard]] bool EnsureFolder(std::string* failureWords);

 private:
  std::string m_dataFolder;
  int64_t m_startedUtcSeconds;
  CWorkbenchList m_list;
  std::vector<std::string> m_recent;
};

}  // namespace quorvel

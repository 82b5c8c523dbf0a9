#pragma once
// The workbench's session: its list, the session folder (made only when the first measurement
// is kept, so a window that measures nothing leaves no empty folder), the recent sessions, and
// the keeping of each completed measurement's capture in the folder before it is shown.
// User-interface thread.
#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "control/workbench/workbench_import.h"
#include "control/workbench/workbench_list.h"

namespace quorvel {

struct CaptureFileContext;
class Measurement;

class CWorkbenchSession {
 public:
  // A new session named for when it started, in dataFolder/Sessions. Without a data folder
  // (empty) nothing is kept.
  CWorkbenchSession(std::string dataFolder, int64_t startedUtcSeconds);

  [[nodiscard]] const std::string& DataFolder() const { return m_dataFolder; }
  CWorkbenchList& List() { return m_list; }
  const CWorkbenchList& List() const { return m_list; }
  const std::vector<std::string>& RecentSessions() const { return m_recent; }
  void SetRecentSessions(std::vector<std::string> recent) { m_recent = std::move(recent); }

  // Writes the finished measurement's recording into the session folder as Save Audio File
  // writes a capture ("<caption> YYYY-MM-DD HHMMSS.wav"; the last capture file the choosers
  // start from stays as it was) and adds it to the list as "<caption> HH:MM:SS". A failure
  // ("<path>: <reason>") when it was not added, having shown nothing.
  [[nodiscard]] Result<AddedTrace> KeepMeasurement(const CaptureFileContext& ctx,
                                                   const Measurement& measurement);
  // A replayed capture file, added to the list by its own path (not copied) and named after
  // the file; as KeepMeasurement otherwise.
  [[nodiscard]] Result<AddedTrace> KeepReplay(const std::string& capturePath,
                                              const Measurement& measurement);

  // The live curve of a measurement or replay this session kept, by its id in the list; null
  // for any other (one opened from a session.json, a capture added).
  [[nodiscard]] const LiveCurve* LiveCurveOf(const std::string& id) const;
  // The live curves of captures as their offline analysis gives them (the points a replay of
  // the capture would give), by capture path; they replace those held before.
  void KeepAnalysedCurves(std::map<std::string, LiveCurve> byPath) {
    m_analysedCurves = std::move(byPath);
  }
  // The entry's live curve: the one measured when this session kept it, else its capture's
  // analysed one; null when there is neither.
  [[nodiscard]] const LiveCurve* LiveCurveOf(const SessionEntry& entry) const;

  // Open Session: the folder's session.json replaces the list (see CWorkbenchList::Open) and
  // leads the recent sessions.
  [[nodiscard]] bool Open(const std::string& folder, std::vector<std::string>* problems);

  // Save Session As (measurement/session_store.h); the new folder becomes the session's.
  // Its value: the captures of the old folder that were not there to copy.
  [[nodiscard]] Result<std::vector<std::string>> SaveAs(const std::string& folder);

  // Makes the session folder when there is none yet (the list is then written there with its
  // next change); a failure when it cannot be made.
  [[nodiscard]] Result<void> EnsureFolder();
  [[nodiscard]] AddedTrace AddKept(const std::string& path, const std::string& name,
                                   const Measurement& measurement);

 private:
  std::string m_dataFolder;
  int64_t m_startedUtcSeconds;
  CWorkbenchList m_list;
  std::vector<std::string> m_recent;
  std::map<std::string, LiveCurve> m_liveCurves;      // by list id
  std::map<std::string, LiveCurve> m_analysedCurves;  // by capture path
};

}  // namespace quorvel

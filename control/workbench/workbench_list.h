#pragma once
// The workbench's list of measurements and derived traces over one session folder: every change
// rewrites the folder's session.json at once, so the session on disk is always the list the
// user sees and nothing asks "save before closing?". Plain C++; user-interface thread.
#include <string>
#include <utility>
#include <vector>

#include "base/result.h"
#include "measurement/session_document.h"

namespace quorvel {

// A trace the list took: its id, and whether session.json was written with it (when not, the
// trace stays in the list all the same and the next change writes it).
struct AddedTrace {
  std::string id;
  Result<void> written;
};

// Success only when the trace was taken and session.json written with it; else the failure.
[[nodiscard]] Result<void> AddedAndWritten(const Result<AddedTrace>& added);

class CWorkbenchList {
 public:
  // A list over a session folder that already exists (it is not read; see Open). Without a
  // folder yet (empty), changes stay in memory until MoveTo names one.
  explicit CWorkbenchList(std::string sessionFolder);

  // The list's session is now that folder (made already); session.json is written there with
  // the next change.
  void MoveTo(std::string sessionFolder) { m_sessionFolder = std::move(sessionFolder); }

  // Replaces the list by the folder's session.json; what could not be opened comes back one
  // line each in *problems. False when nothing could be opened (the list is then unchanged).
  [[nodiscard]] bool Open(const std::string& sessionFolder, std::vector<std::string>* problems);

  const std::string& SessionFolder() const { return m_sessionFolder; }
  const SessionDocument& Document() const { return m_document; }

  // Each change below rewrites session.json; its failure ("<path>: <reason>") when that failed
  // (the change stays in the list, and the next change tries again) or when the id is not in
  // the list (nothing changes then).

  // A new measurement at the end of the list, in the next colour of the palette.
  [[nodiscard]] AddedTrace Add(const std::string& capturePath, const std::string& name,
                               int64_t madeUtcSeconds);
  // Removes a measurement or derived trace, with every derived trace computed from it.
  [[nodiscard]] Result<void> Remove(const std::string& id);
  [[nodiscard]] Result<void> Rename(const std::string& id, const std::string& name);
  [[nodiscard]] Result<void> Recolour(const std::string& id, TraceColour colour);
  [[nodiscard]] Result<void> SetShown(const std::string& id, bool shown);
  [[nodiscard]] Result<void> SetNote(const std::string& id, const std::string& note);
  [[nodiscard]] Result<void> SetOffset(const std::string& id, double offsetDb);
  // Moves a measurement one place up (-1) or down (+1) among the measurements, or a derived
  // trace among the derived ones where its sources still stand before it; a failure (and
  // nothing written) at either end.
  [[nodiscard]] Result<void> Move(const std::string& id, int step);
  // A derived trace at the end of the list from sources in the list; a failure (nothing added)
  // for sources that do not make one.
  [[nodiscard]] Result<AddedTrace> AddDerived(DerivedKind kind,
                                              const std::vector<std::string>& sources,
                                              const std::string& name);
  // The equalised trace of one source (its prediction through the equaliser given as
  // Equalizer APO's text) at the end of the list.
  [[nodiscard]] Result<AddedTrace> AddEqualised(const std::string& source,
                                                const std::string& equaliser,
                                                const std::string& name);
  [[nodiscard]] Result<void> SetView(const SessionView& view);

 private:
  TraceLook* LookOf(const std::string& id);
  [[nodiscard]] Result<void> Write();
  [[nodiscard]] TraceColour NextColour() const;

  std::string m_sessionFolder;
  SessionDocument m_document;
};

}  // namespace quorvel

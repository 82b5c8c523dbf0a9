#pragma once
// The workbench's list of measurements and derived traces over one session folder: every change
// rewrites the folder's session.json at once, so the session on disk is always the list the
// user sees and nothing asks "save before closing?". Plain C++; user-interface thread.
#include <string>
#include <utility>
#include <vector>

#include "measurement/session_document.h"

namespace quorvel {

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

  // Each change below rewrites session.json; false with *failureWords ("<path>: <reason>")
  // when that failed (the change stays in the list, and the next change tries again) or when
  // the id is not in the list (nothing changes then).

  // A new measurement at the end of the list, in the next colour of the palette; its id in *id.
  [[nodiscard]] bool Add(const std::string& capturePath, const std::string& name,
                         int64_t madeUtcSeconds, std::string* id, std::string* failureWords);
  // Removes a measurement or derived trace, with every derived trace computed from it.
  [[nodiscard]] bool Remove(const std::string& id, std::string* failureWords);
  [[nodiscard]] bool Rename(const std::string& id, const std::string& name,
                            std::string* failureWords);
  [[nodiscard]] bool Recolour(const std::string& id, TraceColour colour, std::string* failureWords);
  [[nodiscard]] bool SetShown(const std::string& id, bool shown, std::string* failureWords);
  [[nodiscard]] bool SetNote(const std::string& id, const std::string& note,
                             std::string* failureWords);
  [[nodiscard]] bool SetOffset(const std::string& id, double offsetDb, std::string* failureWords);
  // Moves a measurement one place up (-1) or down (+1) among the measurements, or a derived
  // trace among the derived ones where its sources still stand before it; false (and nothing
  // written) at either end.
  [[nodiscard]] bool Move(const std::string& id, int step, std::string* failureWords);
  // A derived trace at the end of the list from sources in the list; its id in *id.
  [[nodiscard]] bool AddDerived(DerivedKind kind, const std::vector<std::string>& sources,
                                const std::string& name, std::string* id,
                                std::string* failureWords);
  // The equalised trace of one source (its prediction through the equaliser given as
  // Equalizer APO's text) at the end of the list; its id in *id.
  [[nodiscard]] bool AddEqualised(const std::string& source, const std::string& equaliser,
                                  const std::string& name, std::string* id,
                                  std::string* failureWords);
  [[nodiscard]] bool SetView(const SessionView& view, std::string* failureWords);

 private:
  TraceLook* LookOf(const std::string& id);
  [[nodiscard]] bool Write(std::string* failureWords);
  [[nodiscard]] TraceColour NextColour() const;

  std::string m_sessionFolder;
  SessionDocument m_document;
};

}  // namespace quorvel

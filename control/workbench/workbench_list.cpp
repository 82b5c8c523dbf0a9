#include "control/workbench/workbench_list.h"

#include <algorithm>
#include <utility>

#include "control/workbench/workbench_palette.h"
#include "measurement/session_store.h"

namespace quorvel {

namespace {

Failure Unknown(const std::string& id) {
  return Failure{"No trace \"" + id + "\" in the list"};
}

bool Uses(const DerivedTrace& derived, const std::vector<std::string>& gone) {
  return std::any_of(derived.sources.begin(), derived.sources.end(), [&](const std::string& s) {
    return std::find(gone.begin(), gone.end(), s) != gone.end();
  });
}

}  // namespace

Result<void> AddedAndWritten(const Result<AddedTrace>& added) {
  if (!added) return Failure{added.Message()};
  return added->written;
}

CWorkbenchList::CWorkbenchList(std::string sessionFolder)
    : m_sessionFolder(std::move(sessionFolder)) {}

bool CWorkbenchList::Open(const std::string& sessionFolder, std::vector<std::string>* problems) {
  OpenedSession opened = OpenSession(sessionFolder);
  *problems = opened.problems;
  if (opened.document.entries.empty() && opened.document.derived.empty() &&
      !opened.problems.empty()) {
    return false;
  }
  m_sessionFolder = sessionFolder;
  m_document = std::move(opened.document);
  return true;
}

TraceColour CWorkbenchList::NextColour() const {
  const int index = static_cast<int>(m_document.entries.size() + m_document.derived.size());
  const uint32_t rgb = WorkbenchColourAt(index);
  return TraceColour{static_cast<uint8_t>(rgb >> 16), static_cast<uint8_t>(rgb >> 8),
                     static_cast<uint8_t>(rgb)};
}

TraceLook* CWorkbenchList::LookOf(const std::string& id) {
  for (SessionEntry& entry : m_document.entries) {
    if (entry.id == id) return &entry.look;
  }
  for (DerivedTrace& derived : m_document.derived) {
    if (derived.id == id) return &derived.look;
  }
  return nullptr;
}

Result<void> CWorkbenchList::Write() {
  if (m_sessionFolder.empty()) return {};  // nothing measured yet: no folder to keep it in
  return WriteSession(m_sessionFolder, m_document);
}

AddedTrace CWorkbenchList::Add(const std::string& capturePath, const std::string& name,
                               int64_t madeUtcSeconds) {
  SessionEntry entry;
  entry.id = NextTraceId(m_document, 'm');
  entry.capturePath = capturePath;
  entry.look.name = name;
  entry.look.colour = NextColour();
  entry.madeUtcSeconds = madeUtcSeconds;
  std::string id = entry.id;
  m_document.entries.push_back(std::move(entry));
  return AddedTrace{std::move(id), Write()};
}

Result<void> CWorkbenchList::Remove(const std::string& id) {
  if (LookOf(id) == nullptr) return Unknown(id);
  std::vector<std::string> gone{id};
  std::erase_if(m_document.entries, [&](const SessionEntry& e) { return e.id == id; });
  // A derived trace only ever names traces before it, so one pass in order finds them all.
  std::vector<DerivedTrace> kept;
  for (DerivedTrace& derived : m_document.derived) {
    if (derived.id == id || Uses(derived, gone)) {
      gone.push_back(derived.id);
    } else {
      kept.push_back(std::move(derived));
    }
  }
  m_document.derived = std::move(kept);
  SessionView& view = m_document.view;
  std::erase_if(view.phaseIds, [&](const std::string& p) {
    return std::find(gone.begin(), gone.end(), p) != gone.end();
  });
  if (std::find(gone.begin(), gone.end(), view.referenceId) != gone.end()) view.referenceId.clear();
  return Write();
}

Result<void> CWorkbenchList::Rename(const std::string& id, const std::string& name) {
  TraceLook* look = LookOf(id);
  if (look == nullptr) return Unknown(id);
  look->name = name;
  return Write();
}

Result<void> CWorkbenchList::Recolour(const std::string& id, TraceColour colour) {
  TraceLook* look = LookOf(id);
  if (look == nullptr) return Unknown(id);
  look->colour = colour;
  return Write();
}

Result<void> CWorkbenchList::SetShown(const std::string& id, bool shown) {
  TraceLook* look = LookOf(id);
  if (look == nullptr) return Unknown(id);
  look->shown = shown;
  return Write();
}

Result<void> CWorkbenchList::SetNote(const std::string& id, const std::string& note) {
  TraceLook* look = LookOf(id);
  if (look == nullptr) return Unknown(id);
  look->note = note;
  return Write();
}

Result<void> CWorkbenchList::SetOffset(const std::string& id, double offsetDb) {
  TraceLook* look = LookOf(id);
  if (look == nullptr) return Unknown(id);
  look->offsetDb = offsetDb;
  return Write();
}

Result<void> CWorkbenchList::Move(const std::string& id, int step) {
  if (LookOf(id) == nullptr) return Unknown(id);
  auto& entries = m_document.entries;
  for (size_t i = 0; i < entries.size(); ++i) {
    if (entries[i].id != id) continue;
    const auto to = static_cast<std::ptrdiff_t>(i) + step;
    if (to < 0 || to >= static_cast<std::ptrdiff_t>(entries.size())) {
      return Failure{"\"" + entries[i].look.name + "\" is already at the end of the list"};
    }
    std::swap(entries[i], entries[static_cast<size_t>(to)]);
    return Write();
  }
  auto& derived = m_document.derived;
  for (size_t i = 0; i < derived.size(); ++i) {
    if (derived[i].id != id) continue;
    const auto to = static_cast<std::ptrdiff_t>(i) + step;
    const bool blocked = to < 0 || to >= static_cast<std::ptrdiff_t>(derived.size()) ||
                         // A derived trace stays after its sources, so that recipes never loop.
                         (step < 0 && Uses(derived[i], {derived[static_cast<size_t>(to)].id})) ||
                         (step > 0 && Uses(derived[static_cast<size_t>(to)], {derived[i].id}));
    if (blocked) {
      return Failure{"\"" + derived[i].look.name + "\" cannot move past its sources"};
    }
    std::swap(derived[i], derived[static_cast<size_t>(to)]);
    return Write();
  }
  return Unknown(id);
}

Result<AddedTrace> CWorkbenchList::AddDerived(DerivedKind kind,
                                              const std::vector<std::string>& sources,
                                              const std::string& name) {
  const size_t needed = kind == DerivedKind::kDifference ? 2 : 0;
  if ((needed != 0 && sources.size() != needed) || (needed == 0 && sources.size() < 2)) {
    return Failure{kind == DerivedKind::kDifference ? "A difference takes exactly two traces"
                                                    : "An average takes two or more traces"};
  }
  for (const std::string& source : sources) {
    if (!HasTraceId(m_document, source)) return Unknown(source);
  }
  DerivedTrace derived;
  derived.id = NextTraceId(m_document, 'd');
  derived.kind = kind;
  derived.sources = sources;
  derived.look.name = name;
  derived.look.colour = NextColour();
  std::string id = derived.id;
  m_document.derived.push_back(std::move(derived));
  return AddedTrace{std::move(id), Write()};
}

Result<AddedTrace> CWorkbenchList::AddEqualised(const std::string& source,
                                                const std::string& equaliser,
                                                const std::string& name) {
  if (!HasTraceId(m_document, source)) return Unknown(source);
  DerivedTrace derived;
  derived.id = NextTraceId(m_document, 'd');
  derived.kind = DerivedKind::kEqualised;
  derived.sources = {source};
  derived.equaliser = equaliser;
  derived.look.name = name;
  derived.look.colour = NextColour();
  std::string id = derived.id;
  m_document.derived.push_back(std::move(derived));
  return AddedTrace{std::move(id), Write()};
}

Result<void> CWorkbenchList::SetView(const SessionView& view) {
  m_document.view = view;
  return Write();
}

}  // namespace quorvel

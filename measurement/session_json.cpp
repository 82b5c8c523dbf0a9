#include "measurement/session_json.h"

#include <nlohmann/json.hpp>

#include "measurement/session_json_fields.h"
#include "measurement/session_paths.h"

namespace quorvel {

namespace {

using Json = nlohmann::ordered_json;

void PutLook(const TraceLook& look, Json* object) {
  (*object)["name"] = look.name;
  (*object)["colour"] = ColourText(look.colour);
  (*object)["shown"] = look.shown;
  (*object)["note"] = look.note;
  (*object)["offset_db"] = look.offsetDb;
}

Json Entry(const SessionEntry& entry, const std::string& sessionFolder) {
  Json object = Json::object();
  object["id"] = entry.id;
  const std::string stored = StoredCapturePath(sessionFolder, entry.capturePath);
  if (IsValidUtf8(stored)) {
    object["path"] = stored;
  } else {
    object["path"] = ReadableUtf8(stored);
    object["path_bytes"] = HexBytes(stored);
  }
  PutLook(entry.look, &object);
  object["made"] = entry.madeUtcSeconds ? Json(UtcTimeText(*entry.madeUtcSeconds)) : Json();
  return object;
}

Json Derived(const DerivedTrace& trace) {
  Json object = Json::object();
  object["id"] = trace.id;
  object["kind"] = DerivedKindName(trace.kind);
  if (trace.kind == DerivedKind::kAverageVector) object["align"] = trace.align;
  object["sources"] = trace.sources;
  if (trace.kind == DerivedKind::kEqualised) object["equaliser"] = trace.equaliser;
  PutLook(trace.look, &object);
  return object;
}

Json View(const SessionView& view) {
  Json object = Json::object();
  object["smoothing"] = SmoothingText(view.smoothingPerOctave);
  object["gate_ms"] = view.gateMs;
  object["level_db"] = {{"min", view.levelMinDb}, {"max", view.levelMaxDb}};
  object["frequency_hz"] = {{"min", view.frequencyMinHz}, {"max", view.frequencyMaxHz}};
  object["level_curve"] = LevelCurveName(view.levelCurve);
  object["phase"] = view.phaseIds;
  object["reference"] = view.referenceId;
  object["curve"] = ViewCurveName(view.curve);
  return object;
}

}  // namespace

std::string SessionJsonText(const SessionDocument& document, const std::string& sessionFolder) {
  Json root = Json::object();
  root["version"] = kSessionFormatVersion;
  Json entries = Json::array();
  for (const SessionEntry& entry : document.entries) entries.push_back(Entry(entry, sessionFolder));
  root["entries"] = std::move(entries);
  Json derived = Json::array();
  for (const DerivedTrace& trace : document.derived) derived.push_back(Derived(trace));
  root["derived"] = std::move(derived);
  root["view"] = View(document.view);
  // Texts that are not UTF-8 are written with U+FFFD rather than refused: a session is always
  // saved (paths keep their bytes in "path_bytes").
  return root.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

}  // namespace quorvel

#include <filesystem>
#include <nlohmann/json.hpp>
#include <set>

#include "base/number_text.h"
#include "measurement/session_json.h"
#include "measurement/session_json_fields.h"
#include "measurement/session_paths.h"

namespace quorvel {

namespace {

using Json = nlohmann::json;

std::string Quoted(const std::string& text) {
  return "\"" + ReadableUtf8(text) + "\"";
}

// What a value is, in words: "a string", "a number", "true", "an array", ...
std::string ValueWords(const Json& value) {
  switch (value.type()) {
    case Json::value_t::null:
      return "null";
    case Json::value_t::boolean:
      return value.get<bool>() ? "true" : "false";
    case Json::value_t::string:
      return "a string";
    case Json::value_t::array:
      return "an array";
    case Json::value_t::object:
      return "an object";
    default:
      return "a number";
  }
}

const char* DefaultDerivedName(DerivedKind kind) {
  switch (kind) {
    case DerivedKind::kAverageDb:
      return "dB average";
    case DerivedKind::kAveragePower:
      return "Power average";
    case DerivedKind::kAverageVector:
      return "Vector average";
    case DerivedKind::kEqualised:
      return "Equalised";
    case DerivedKind::kDifference:
      break;
  }
  return "Difference";
}

class CSessionReader {
 public:
  CSessionReader(const std::string& sessionFolder, SessionReading* reading)
      : m_folder(sessionFolder), m_reading(*reading) {}

  void Read(const Json& root);

  // A problem that loses something the file held; one that only notes what was missing.
  void Lost(const std::string& words) {
    Noted(words);
    m_reading.damaged = true;
  }
  void Noted(const std::string& words) {
    if (m_reading.problems.size() < kMostListedProblems) {
      m_reading.problems.push_back("session.json: " + words);
    } else {
      ++m_unlisted;
    }
  }
  void EndList() {
    if (m_unlisted > 0) {
      m_reading.problems.push_back("session.json: " + std::to_string(m_unlisted) +
                                   " more problems are not listed");
    }
  }

 private:
  void ReadEntries(const Json& list);
  void ReadDerived(const Json& list);
  void ReadView(const Json& view);
  // The id of an item: its own when it has a new one, else a fresh one, said in words.
  std::string TakeId(const Json& item, const std::string& where, char prefix);
  bool ReadSources(const Json& item, const std::string& where, DerivedTrace* trace);

  std::string m_folder;
  SessionReading& m_reading;
  std::set<std::string> m_fileIds;  // every id the file holds, so no fresh id takes one of them
  std::set<std::string> m_ids;      // the ids of the traces taken so far
  long long m_nextEntry = 1;        // the numbers of the next fresh ids, beyond the file's
  long long m_nextDerived = 1;
  size_t m_unlisted = 0;
};

// The fields of one object of the file, each read with its default when it is missing or of the
// wrong type. The missing ones are named together once the object is read.
class CFields {
 public:
  CFields(const Json& object, std::string where, CSessionReader& reader)
      : m_object(object), m_where(std::move(where)), m_reader(reader) {}
  ~CFields() {
    if (m_missing.empty()) return;
    std::string words = m_where + " has no ";
    for (size_t i = 0; i < m_missing.size(); ++i) words += (i > 0 ? ", " : "") + m_missing[i];
    m_reader.Noted(words + "; " + (m_missing.size() > 1 ? "their defaults are" : "its default is") +
                   " taken");
  }
  CFields(const CFields&) = delete;
  CFields& operator=(const CFields&) = delete;

  // The field's value; null when missing (counted as missing when `counted`).
  const Json* Find(const char* key, bool counted = true) {
    const auto found = m_object.find(key);
    if (found != m_object.end()) return &*found;
    if (counted) m_missing.push_back(key);
    return nullptr;
  }
  // Whether the field is of the wanted type; a wrong one is said and loses the value.
  bool Is(const char* key, const Json& value, bool wanted, const char* typeWords) {
    if (!wanted) {
      m_reader.Lost(m_where + ": \"" + key + "\" is " + ValueWords(value) + ", not " + typeWords +
                    "; its default is taken");
    }
    return wanted;
  }
  void Text(const char* key, std::string* out) {
    const Json* value = Find(key);
    if (value && Is(key, *value, value->is_string(), "a text")) *out = value->get<std::string>();
  }
  void Flag(const char* key, bool* out) {
    const Json* value = Find(key);
    if (value && Is(key, *value, value->is_boolean(), "true or false")) *out = value->get<bool>();
  }
  void Number(const char* key, double* out) {
    const Json* value = Find(key);
    if (value && Is(key, *value, value->is_number(), "a number")) *out = value->get<double>();
  }
  void Look(TraceLook* look) {
    Text("name", &look->name);
    std::string colour = ColourText(look->colour);
    Text("colour", &colour);
    if (!ParseColourText(colour, &look->colour)) {
      m_reader.Lost(m_where + ": the colour " + Quoted(colour) +
                    " is not of the form #rrggbb; its default is taken");
    }
    Flag("shown", &look->shown);
    Text("note", &look->note);
    Number("offset_db", &look->offsetDb);
  }
  const std::string& Where() const { return m_where; }

 private:
  const Json& m_object;
  std::string m_where;
  CSessionReader& m_reader;
  std::vector<std::string> m_missing;
};

void CSessionReader::Read(const Json& root) {
  if (!root.is_object()) {
    m_reading.problems.push_back("session.json holds " + ValueWords(root) +
                                 ", not a session (a JSON object); nothing is opened");
    m_reading.damaged = true;
    return;
  }
  const auto version = root.find("version");
  if (version == root.end()) {
    Lost("it has no format version; read as version " + std::to_string(kSessionFormatVersion));
  } else if (!version->is_number_integer() || version->get<int64_t>() < 1) {
    Lost("its format version is " +
         (version->is_number() ? version->dump() : ValueWords(*version)) +
         ", no version Quorvel writes; read as version " + std::to_string(kSessionFormatVersion));
  } else if (version->get<int64_t>() > kSessionFormatVersion) {
    Lost("its format version " + version->dump() + " is newer than this Quorvel reads (" +
         std::to_string(kSessionFormatVersion) + "); what it knows of it is opened");
  }
  // Every id first, so that a fresh one never takes an id a later item holds.
  for (const char* list : {"entries", "derived"}) {
    const auto items = root.find(list);
    if (items == root.end() || !items->is_array()) continue;
    for (const Json& item : *items) {
      if (!item.is_object()) continue;
      const auto id = item.find("id");
      if (id != item.end() && id->is_string()) m_fileIds.insert(id->get<std::string>());
    }
  }
  SessionDocument taken;
  for (const std::string& id : m_fileIds) taken.entries.push_back({id, {}, {}, {}});
  m_nextEntry = std::stoll(NextTraceId(taken, 'm').substr(1));
  m_nextDerived = std::stoll(NextTraceId(taken, 'd').substr(1));
  const auto entries = root.find("entries");
  if (entries == root.end()) {
    Noted("it lists no entries");
  } else if (!entries->is_array()) {
    Lost("its entries are " + ValueWords(*entries) + ", not an array; none is opened");
  } else {
    ReadEntries(*entries);
  }
  const auto derived = root.find("derived");
  if (derived != root.end() && !derived->is_array()) {
    Lost("its derived traces are " + ValueWords(*derived) + ", not an array; none is opened");
  } else if (derived != root.end()) {
    ReadDerived(*derived);
  }
  const auto view = root.find("view");
  if (view == root.end()) {
    Noted("it has no view; the default view is taken");
  } else if (!view->is_object()) {
    Lost("its view is " + ValueWords(*view) + ", not an object; the default view is taken");
  } else {
    ReadView(*view);
  }
}

std::string CSessionReader::TakeId(const Json& item, const std::string& where, char prefix) {
  const auto found = item.find("id");
  std::string id;
  if (found != item.end() && found->is_string()) id = found->get<std::string>();
  if (!id.empty() && m_ids.count(id) == 0) {
    m_ids.insert(id);
    return id;
  }
  long long& next = prefix == 'm' ? m_nextEntry : m_nextDerived;
  const std::string fresh = std::string(1, prefix) + std::to_string(next++);
  if (!id.empty()) {
    Lost(where + " has the id " + Quoted(id) + " of an earlier trace; it is now " + Quoted(fresh));
  } else if (found != item.end()) {
    Lost(where + " has an id that is " + ValueWords(*found) + ", not a text; it is now " +
         Quoted(fresh));
  } else {
    Noted(where + " has no id; it is now " + Quoted(fresh));
  }
  m_ids.insert(fresh);
  return fresh;
}

void CSessionReader::ReadEntries(const Json& list) {
  for (size_t i = 0; i < list.size(); ++i) {
    const Json& item = list[i];
    const std::string where = "entry " + std::to_string(i + 1);
    if (!item.is_object()) {
      Lost(where + " is " + ValueWords(item) + ", not an object; left out");
      continue;
    }
    CFields fields(item, where, *this);
    std::string path;
    if (const Json* bytes = fields.Find("path_bytes", false)) {
      if (!bytes->is_string() || !ParseHexBytes(bytes->get<std::string>(), &path)) {
        Lost(where + ": its \"path_bytes\" are not a path in hexadecimal; its \"path\" is taken");
      }
    }
    const Json* text = path.empty() ? fields.Find("path", false) : nullptr;
    if (text && text->is_string()) path = text->get<std::string>();
    if (path.empty() || path.find('\0') != std::string::npos) {
      Lost(where + (path.empty() ? " names no capture" : " names a capture with a NUL byte") +
           "; left out");
      continue;
    }
    SessionEntry entry;
    entry.id = TakeId(item, where, 'm');
    entry.capturePath = ResolveCapturePath(m_folder, path);
    entry.look.name = ReadableUtf8(std::filesystem::path(entry.capturePath).stem().string());
    fields.Look(&entry.look);
    if (const Json* made = fields.Find("made"); made && !made->is_null()) {
      int64_t seconds = 0;
      if (made->is_string() && ParseUtcTimeText(made->get<std::string>(), &seconds)) {
        entry.madeUtcSeconds = seconds;
      } else {
        Lost(where + ": its time made is " +
             (made->is_string() ? Quoted(made->get<std::string>()) : ValueWords(*made)) +
             ", not a time such as \"2026-12-10T15:30:12Z\"; it is unknown");
      }
    }
    m_reading.document.entries.push_back(std::move(entry));
  }
}

bool CSessionReader::ReadSources(const Json& item, const std::string& where, DerivedTrace* trace) {
  const auto sources = item.find("sources");
  if (sources == item.end() || !sources->is_array()) {
    Lost(where + " names no sources; left out");
    return false;
  }
  std::set<std::string> named;
  for (const Json& source : *sources) {
    if (!source.is_string()) {
      Lost(where + " names a source by " + ValueWords(source) + ", not by its id; left out");
      return false;
    }
    const std::string id = source.get<std::string>();
    // Only traces before it: a recipe never loops back on itself.
    if (m_ids.count(id) == 0) {
      Lost(where + " names " + Quoted(id) +
           ", which is neither a measurement nor a derived trace before it; left out");
      return false;
    }
    if (!named.insert(id).second) {
      Lost(where + " names " + Quoted(id) + " twice; left out");
      return false;
    }
    trace->sources.push_back(id);
  }
  const size_t count = trace->sources.size();
  const char* takes = nullptr;
  if (trace->kind == DerivedKind::kDifference) {
    if (count != 2) takes = "a difference takes 2";
  } else if (trace->kind == DerivedKind::kEqualised) {
    if (count != 1) takes = "an equalised trace takes 1";
  } else if (count < 2) {
    takes = "an average takes 2 or more";
  }
  if (takes != nullptr) {
    Lost(where + " has " + std::to_string(count) + " sources where " + takes + "; left out");
    return false;
  }
  return true;
}

void CSessionReader::ReadDerived(const Json& list) {
  for (size_t i = 0; i < list.size(); ++i) {
    const Json& item = list[i];
    const std::string where = "derived trace " + std::to_string(i + 1);
    if (!item.is_object()) {
      Lost(where + " is " + ValueWords(item) + ", not an object; left out");
      continue;
    }
    DerivedTrace trace;
    const auto kind = item.find("kind");
    if (kind == item.end() || !kind->is_string() ||
        !ParseDerivedKindName(kind->get<std::string>(), &trace.kind)) {
      Lost(where + " is of " +
           (kind != item.end() && kind->is_string()
                ? "the unknown kind " + Quoted(kind->get<std::string>())
                : std::string("no kind")) +
           "; left out");
      continue;
    }
    if (!ReadSources(item, where, &trace)) continue;
    if (trace.kind == DerivedKind::kEqualised) {
      const auto equaliser = item.find("equaliser");
      if (equaliser == item.end() || !equaliser->is_string() ||
          equaliser->get_ref<const std::string&>().empty()) {
        Lost(where + " holds no equaliser; left out");
        continue;
      }
      trace.equaliser = equaliser->get<std::string>();
    }
    CFields fields(item, where, *this);
    if (trace.kind == DerivedKind::kAverageVector) fields.Flag("align", &trace.align);
    trace.look.name = DefaultDerivedName(trace.kind);
    fields.Look(&trace.look);
    trace.id = TakeId(item, where, 'd');
    m_reading.document.derived.push_back(std::move(trace));
  }
}

void CSessionReader::ReadView(const Json& object) {
  SessionView& view = m_reading.document.view;
  CFields fields(object, "the view", *this);
  std::string smoothing = SmoothingText(view.smoothingPerOctave);
  fields.Text("smoothing", &smoothing);
  if (!ParseSmoothingText(smoothing, &view.smoothingPerOctave)) {
    Lost("the view: the smoothing " + Quoted(smoothing) +
         " is none of none, 1/1, 1/3, 1/6, 1/12, 1/24 and 1/48; none is taken");
  }
  double gateMs = view.gateMs;
  fields.Number("gate_ms", &gateMs);
  if (gateMs >= 0) {
    view.gateMs = gateMs;
  } else {
    Lost("the view: a gate of " + FormatGeneral(gateMs, 6) + " ms is negative; none is taken");
  }
  struct Span {
    const char* key;
    double* low;
    double* high;
    bool positive;  // frequencies are above 0
    const char* unit;
  };
  for (const Span& span :
       {Span{"level_db", &view.levelMinDb, &view.levelMaxDb, false, "dB"},
        Span{"frequency_hz", &view.frequencyMinHz, &view.frequencyMaxHz, true, "Hz"}}) {
    const Json* value = fields.Find(span.key);
    if (!value) continue;
    const auto number = [&](const char* key, double* out) {
      const auto found = value->find(key);
      if (found == value->end() || !found->is_number()) return false;
      *out = found->get<double>();
      return true;
    };
    double low = 0, high = 0;
    if (!value->is_object() || !number("min", &low) || !number("max", &high) || !(low < high) ||
        (span.positive && !(low > 0))) {
      Lost("the view: \"" + std::string(span.key) + "\" is no range from a \"min\" to a larger " +
           "\"max\"" + (span.positive ? " above 0" : "") + "; " + FormatGeneral(*span.low, 6) +
           " to " + FormatGeneral(*span.high, 6) + " " + span.unit + " is taken");
      continue;
    }
    *span.low = low;
    *span.high = high;
  }
  std::string curve = LevelCurveName(view.levelCurve);
  fields.Text("level_curve", &curve);
  if (!ParseLevelCurveName(curve, &view.levelCurve)) {
    Lost("the view: the level curve " + Quoted(curve) +
         " is neither \"live\" nor \"response\"; \"live\" is taken");
  }
  if (const Json* phase = fields.Find("phase")) {
    if (fields.Is("phase", *phase, phase->is_array(), "an array of ids")) {
      for (const Json& id : *phase) {
        if (id.is_string() && m_ids.count(id.get<std::string>()) > 0) {
          view.phaseIds.push_back(id.get<std::string>());
        } else {
          Lost("the view shows the phase of " +
               (id.is_string() ? Quoted(id.get<std::string>()) : ValueWords(id)) +
               ", which is not in the session; left out");
        }
      }
    }
  }
  // a session written before the plot showed its curve has none: it shows the levels, unsaid
  std::string shows = ViewCurveName(view.curve);
  if (const Json* shown = fields.Find("curve", false);
      shown != nullptr && fields.Is("curve", *shown, shown->is_string(), "a text")) {
    shows = shown->get<std::string>();
  }
  if (!ParseViewCurveName(shows, &view.curve)) {
    Lost("the view: the curve " + Quoted(shows) +
         " is none of \"level\", \"phase\" and \"live\"; \"level\" is taken");
  }
  std::string reference;
  fields.Text("reference", &reference);
  if (reference.empty() || m_ids.count(reference) > 0) {
    view.referenceId = reference;
  } else {
    Lost("the view's reference " + Quoted(reference) + " is not in the session; none is taken");
  }
}

// nlohmann's "[json.exception.parse_error.101] parse error at line 4, column 2: syntax ..." as
// " at line 4, column 2: syntax ...", and any other failure as ": number overflow ...".
std::string ParseErrorWords(const std::string& what) {
  std::string words = what;
  if (words.rfind("[json.exception.", 0) == 0 && words.find("] ") != std::string::npos) {
    words = words.substr(words.find("] ") + 2);
  }
  if (words.rfind("parse error at ", 0) == 0) return " " + ReadableUtf8(words.substr(12));
  if (words.rfind("parse error: ", 0) == 0) words = words.substr(13);
  return ": " + ReadableUtf8(words);
}

}  // namespace

bool NestsDeeperThan(const std::string& text, int most) {
  int depth = 0;
  bool inString = false;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (inString) {
      if (c == '\\') {
        ++i;
      } else if (c == '"') {
        inString = false;
      }
    } else if (c == '"') {
      inString = true;
    } else if (c == '[' || c == '{') {
      if (++depth > most) return true;
    } else if (c == ']' || c == '}') {
      --depth;
    }
  }
  return false;
}

SessionReading ReadSessionJson(const std::string& text, const std::string& sessionFolder) {
  SessionReading reading;
  Json root;
  if (NestsDeeperThan(text, kMostSessionJsonDepth)) {
    // Refused before parsing: each of millions of "[" would cost a value's memory.
    reading.problems.push_back("session.json nests deeper than the " +
                               std::to_string(kMostSessionJsonDepth) +
                               " levels a session has; nothing is opened");
    reading.damaged = true;
    return reading;
  }
  try {
    root = Json::parse(text);
  } catch (const Json::exception& error) {
    reading.problems.push_back("session.json is not valid JSON" + ParseErrorWords(error.what()) +
                               "; nothing is opened");
    reading.damaged = true;
    return reading;
  }
  CSessionReader reader(sessionFolder, &reading);
  reader.Read(root);
  reader.EndList();
  return reading;
}

}  // namespace quorvel

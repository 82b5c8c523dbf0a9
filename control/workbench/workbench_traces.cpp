#include "control/workbench/workbench_traces.h"

#include <optional>
#include <utility>

#include "eq/eq_apo_reader.h"
#include "eq/eq_prediction.h"
#include "measurement/trace_average.h"
#include "measurement/trace_difference.h"
#include "measurement/trace_offset.h"
#include "measurement/trace_smoothing.h"

namespace quorvel {

std::vector<std::string> CWorkbenchTraces::Analyse(CQuorvelCore& core,
                                                   const SessionDocument& document, double gateMs,
                                                   const ImportProgress& progress) {
  if (gateMs != m_gateMs) {
    m_captures.clear();
    m_stamps.clear();
    m_gateMs = gateMs;
  }
  std::vector<std::string> paths;
  for (const SessionEntry& entry : document.entries) {
    if (!m_captures.contains(entry.capturePath)) paths.push_back(entry.capturePath);
  }
  std::vector<std::string> failures;
  if (!paths.empty() && !m_cacheFolder.empty()) paths = TakeFromCache(paths);
  if (!paths.empty()) {
    // each file as it was before its analysis: one rewritten meanwhile is not taken for it
    std::vector<std::optional<CaptureStamp>> stamps;
    stamps.reserve(paths.size());
    for (const std::string& path : paths) stamps.push_back(StampOf(path));
    std::vector<ImportedCapture> analysed = AnalyseCaptures(core, paths, gateMs, progress);
    for (size_t i = 0; i < analysed.size(); ++i) {
      if (!analysed[i].ok) failures.push_back(analysed[i].failure);
      if (analysed[i].ok && stamps[i]) {
        m_stamps[paths[i]] = *stamps[i];
        m_cacheChanged = true;
      }
      m_captures[paths[i]] = std::move(analysed[i]);
    }
  }
  if (m_cacheChanged && !m_cacheFolder.empty()) WriteCache(document);
  return failures;
}

void CWorkbenchTraces::UseCacheIn(const std::string& sessionFolder) {
  m_cacheFolder = sessionFolder;
}

std::vector<std::string> CWorkbenchTraces::TakeFromCache(const std::vector<std::string>& paths) {
  std::map<std::string, CachedTrace> cached;
  for (CachedTrace& entry : ReadTraceCache(m_cacheFolder)) {
    if (entry.gateMs == m_gateMs) cached[entry.capturePath] = std::move(entry);
  }
  std::vector<std::string> rest;
  for (const std::string& path : paths) {
    const auto found = cached.find(path);
    const std::optional<CaptureStamp> stamp = StampOf(path);
    if (found == cached.end() || !stamp || found->second.stamp != *stamp) {
      rest.push_back(path);
      continue;
    }
    ImportedCapture& imported = m_captures[path];
    imported.path = path;
    imported.ok = true;
    imported.trace = std::move(found->second.trace);
    imported.live = std::move(found->second.live);
    m_stamps[path] = *stamp;
  }
  return rest;
}

void CWorkbenchTraces::WriteCache(const SessionDocument& document) {
  std::vector<CachedTrace> entries;
  std::map<std::string, bool> written;
  for (const SessionEntry& entry : document.entries) {
    const auto held = m_captures.find(entry.capturePath);
    const auto stamp = m_stamps.find(entry.capturePath);
    if (held == m_captures.end() || !held->second.ok || stamp == m_stamps.end() ||
        written[entry.capturePath]) {
      continue;
    }
    written[entry.capturePath] = true;
    entries.push_back(
        {entry.capturePath, stamp->second, m_gateMs, held->second.trace, held->second.live});
  }
  // a folder that takes no file keeps no cache: the session opens as before, by analysis
  static_cast<void>(WriteTraceCache(m_cacheFolder, entries));
  m_cacheChanged = false;
}

void CWorkbenchTraces::Keep(const std::string& capturePath, double gateMs, Trace trace,
                            LiveCurve live) {
  if (gateMs != m_gateMs) return;  // analysed at another gate: analysed again when shown
  ImportedCapture& imported = m_captures[capturePath];
  imported.path = capturePath;
  imported.ok = true;
  imported.trace = std::move(trace);
  imported.live = std::move(live);
  if (const std::optional<CaptureStamp> stamp = StampOf(capturePath)) {
    m_stamps[capturePath] = *stamp;
    m_cacheChanged = true;
  }
}

std::map<std::string, LiveCurve> CWorkbenchTraces::LiveCurves() const {
  std::map<std::string, LiveCurve> curves;
  for (const auto& [path, capture] : m_captures) {
    if (capture.ok && !capture.live.levels.empty()) curves[path] = capture.live;
  }
  return curves;
}

bool CWorkbenchTraces::Holds(const std::string& capturePath) const {
  return m_captures.contains(capturePath);
}

std::vector<WorkbenchTrace> CWorkbenchTraces::Build(const SessionDocument& document) const {
  std::vector<WorkbenchTrace> traces;
  std::map<std::string, size_t> byId;
  const auto finish = [&](WorkbenchTrace item, Result<Trace> made) {
    if (made.Ok()) {
      item.ok = true;
      item.raw = WithOffset(*made, item.look.offsetDb);
      item.raw.name = item.look.name;
      item.shown = Smoothed(item.raw, document.view.smoothingPerOctave);
    } else {
      item.failure = made.Message();
    }
    byId[item.id] = traces.size();
    traces.push_back(std::move(item));
  };
  for (const SessionEntry& entry : document.entries) {
    WorkbenchTrace item;
    item.id = entry.id;
    item.look = entry.look;
    const auto held = m_captures.find(entry.capturePath);
    if (held == m_captures.end()) {
      finish(std::move(item), Failure{entry.capturePath + ": not analysed"});
    } else if (!held->second.ok) {
      finish(std::move(item), Failure{held->second.failure});
    } else if (m_levelScale.spl) {
      // in dB SPL as quorvel-cli's --spl makes them: the level moved, no offset of the user's
      Trace inSpl = WithOffset(held->second.trace, SplOfTransferLevel(0.0, m_levelScale.offsetDb));
      inSpl.offsetDb = held->second.trace.offsetDb;
      inSpl.levelScale = m_levelScale.words;
      finish(std::move(item), std::move(inSpl));
    } else {
      finish(std::move(item), held->second.trace);
    }
  }
  for (const DerivedTrace& recipe : document.derived) {
    WorkbenchTrace item;
    item.id = recipe.id;
    item.derived = true;
    item.look = recipe.look;
    std::vector<Trace> sources;
    std::string missing;
    for (const std::string& source : recipe.sources) {
      const auto found = byId.find(source);
      if (found == byId.end() || !traces[found->second].ok) {
        missing = found == byId.end() ? source : traces[found->second].look.name;
        break;
      }
      sources.push_back(traces[found->second].raw);
    }
    if (!missing.empty()) {
      finish(std::move(item), Failure{"its source " + missing + " has no trace"});
    } else {
      finish(std::move(item), ComputeDerived(recipe, sources));
    }
  }
  return traces;
}

Result<Trace> ComputeDerived(const DerivedTrace& recipe, const std::vector<Trace>& sources) {
  if (recipe.kind == DerivedKind::kDifference) {
    if (sources.size() != 2) return Failure{"a difference takes two traces"};
    return DifferenceOfTraces(sources[0], sources[1], DifferenceOptions{});
  }
  if (recipe.kind == DerivedKind::kEqualised) {
    if (sources.size() != 1) return Failure{"an equalised trace takes one trace"};
    const Result<EqFilterSet> set = ReadApoText(recipe.equaliser);
    if (!set) return Failure{"its equaliser: " + set.Message()};
    return PredictedTrace(sources[0], *set);
  }
  AverageWay way = AverageWay::kDbMean;
  if (recipe.kind == DerivedKind::kAveragePower) way = AverageWay::kPowerMean;
  if (recipe.kind == DerivedKind::kAverageVector) way = AverageWay::kVectorMean;
  AverageOptions options;
  options.align = recipe.align;
  return AverageTraces(sources, way, options);
}

}  // namespace quorvel

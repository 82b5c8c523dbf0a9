#pragma once
// The traces the workbench shows, made from its list: each measurement's capture analysed once
// (as Add Captures analyses it, at the view's gate) and kept by its path, each derived trace
// computed again from its recipe, every trace moved by its offset, then smoothed as the view
// asks. A measurement whose capture cannot be analysed, or a recipe that cannot be computed,
// is listed with the reason and drawn as nothing. With a cache folder, the captures' traces are
// read from its cache where they are still good, and the cache is written again whenever a
// capture was analysed (workbench_trace_cache.h). User-interface thread.
#include <map>
#include <string>
#include <vector>

#include "control/settings/spl_calibration.h"
#include "control/workbench/workbench_import.h"
#include "control/workbench/workbench_trace_cache.h"
#include "measurement/session_document.h"
#include "measurement/trace.h"

namespace quorvel {

class CQuorvelCore;

struct WorkbenchTrace {
  std::string id;
  bool derived = false;
  TraceLook look;
  bool ok = false;
  Trace raw;            // when ok: as measured or computed, with its offset, not smoothed
  Trace shown;          // when ok: raw smoothed as the view asks
  std::string failure;  // when not ok: why there is no trace
};

class CWorkbenchTraces {
 public:
  // Analyses the captures of the document not held yet at gateMs (all of them again when the
  // gate changed); progress as AnalyseCaptures reports it. The failures, one line each.
  std::vector<std::string> Analyse(CQuorvelCore& core, const SessionDocument& document,
                                   double gateMs, const ImportProgress& progress);
  // The session folder whose trace cache is read and written; empty: none.
  void UseCacheIn(const std::string& sessionFolder);
  // A capture's trace and live curve analysed elsewhere (Add Captures) at gateMs, kept for its
  // path.
  void Keep(const std::string& capturePath, double gateMs, Trace trace, LiveCurve live = {});
  // The live curves of the captures held, by path.
  [[nodiscard]] std::map<std::string, LiveCurve> LiveCurves() const;
  // Whether the capture is held at the current gate.
  [[nodiscard]] bool Holds(const std::string& capturePath) const;

  // The measurements' levels in dB SPL by scale's calibration (none: the transfer's dB), from
  // the next Build on.
  void SetLevelScale(SplScale scale) { m_levelScale = std::move(scale); }

  // Every trace of the document in list order: the measurements, then the derived traces.
  [[nodiscard]] std::vector<WorkbenchTrace> Build(const SessionDocument& document) const;

 private:
  // The paths whose trace the cache holds still good are taken from it; returns the rest.
  std::vector<std::string> TakeFromCache(const std::vector<std::string>& paths);
  void WriteCache(const SessionDocument& document);

  double m_gateMs = 0.0;
  std::map<std::string, ImportedCapture> m_captures;  // by capture path
  std::map<std::string, CaptureStamp> m_stamps;       // the files as they were analysed
  std::string m_cacheFolder;
  bool m_cacheChanged = false;  // a trace is held that the cache does not have yet
  SplScale m_levelScale;
};

// The recipe of a derived trace computed from its sources (each with its offset, unsmoothed):
// an average of two or more, the difference of the first and the second, or one through an
// equaliser.
[[nodiscard]] Result<Trace> ComputeDerived(const DerivedTrace& recipe,
                                           const std::vector<Trace>& sources);

}  // namespace quorvel

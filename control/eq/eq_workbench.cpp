#include "control/eq/eq_workbench.h"

#include <chrono>
#include <filesystem>
#include <system_error>

#include "base/util.h"
#include "control/workbench/workbench_session.h"
#include "eq/eq_writers.h"
#include "measurement/session_paths.h"

namespace quorvel {

std::string EqPredictionName(const std::string& name) {
  return name + " + EQ predicted";
}

Result<AddedTrace> AddEqPrediction(CWorkbenchSession& session, EqWorkbenchSource* source,
                                   const EqFilterSet& set, const std::string& name) {
  if (const Result<void> made = session.EnsureFolder(); !made) return Failure{made.Message()};
  CWorkbenchList& list = session.List();
  if (!HasTraceId(list.Document(), source->id)) {
    if (source->capturePath.empty()) return Failure{"its trace is no longer in the list"};
    const std::string path = NormalPath(source->capturePath);
    const std::string captureName = CUtil::StripExtension(CUtil::FileNameOfPath(path.c_str()));
    // in the list even when session.json could not be written: the next change writes it
    AddedTrace added = list.Add(path, captureName, FileTimeUtc(path));
    source->id = added.id;
    if (!added.written) return Failure{added.written.Message()};
  }
  return list.AddEqualised(source->id, ApoText(set), EqPredictionName(name));
}

}  // namespace quorvel

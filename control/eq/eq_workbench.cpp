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

Result<void> AddEqPrediction(CWorkbenchSession& session, EqWorkbenchSource* source,
                             const EqFilterSet& set, const std::string& name, std::string* id) {
  std::string failureWords;
  if (!session.EnsureFolder(&failureWords)) return Failure{failureWords};
  CWorkbenchList& list = session.List();
  if (!HasTraceId(list.Document(), source->id)) {
    if (source->capturePath.empty()) return Failure{"its trace is no longer in the list"};
    const std::string path = NormalPath(source->capturePath);
    const std::string captureName = CUtil::StripExtension(CUtil::FileNameOfPath(path.c_str()));
    // in the list even when session.json could not be written: the next change writes it
    const bool written = list.Add(path, captureName, FileTimeUtc(path), &source->id, &failureWords);
    if (!written) return Failure{failureWords};
  }
  if (!list.AddEqualised(source->id, ApoText(set), EqPredictionName(name), id, &failureWords)) {
    return Failure{failureWords};
  }
  return {};
}

}  // namespace quorvel

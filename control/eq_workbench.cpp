#include "control/eq_workbench.h"

#include <chrono>
#include <filesystem>
#include <system_error>

#include "base/util.h"
#include "control/workbench/workbench_session.h"
#include "eq/eq_writers.h"
#include "measurement/session_paths.h"

namespace quorvel {

namespace {

int64_t FileTimeUtc(const std::string& path) {
  std::error_code error;
  const auto time = std::filesystem::last_write_time(path, error);
  if (error) return 0;
  const auto system = std::chrono::file_clock::to_sys(time);
  return std::chrono::duration_cast<std::chrono::seconds>(system.time_since_epoch()).count();
}

}  // namespace

std::string EqPredictionName(const std::string& name) {
  return name + " + EQ predicted";
}

bool AddEqPrediction(CWorkbenchSession& session, EqWorkbenchSource* source, const EqFilterSet& set,
                     const std::string& name, std::string* id, std::string* failureWords) {
  if (!session.EnsureFolder(failureWords)) return false;
  CWorkbenchList& list = session.List();
  if (!HasTraceId(list.Document(), source->id)) {
    if (source->capturePath.empty()) {
      *failureWords = "its trace is no longer in the list";
      return false;
    }
    const std::string path = NormalPath(source->capturePath);
    const std::string captureName = CUtil::StripExtension(CUtil::FileNameOfPath(path.c_str()));
    // in the list even when session.json could not be written: the next change writes it
    const bool written = list.Add(path, captureName, FileTimeUtc(path), &source->id, failureWords);
    if (!written) return false;
  }
  return list.AddEqualised(source->id, ApoText(set), EqPredictionName(name), id, failureWords);
}

}  // namespace quorvel

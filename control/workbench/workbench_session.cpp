#include "control/workbench/workbench_session.h"

#include <cstdio>
#include <ctime>
#include <filesystem>
#include <system_error>
#include <utility>

#include "control/capture_files.h"
#include "measurement/recent_sessions.h"
#include "measurement/session_paths.h"
#include "measurement/session_store.h"

namespace quorvel {

CWorkbenchSession::CWorkbenchSession(std::string dataFolder, int64_t startedUtcSeconds)
    : m_dataFolder(std::move(dataFolder)), m_startedUtcSeconds(startedUtcSeconds), m_list("") {}

bool CWorkbenchSession::EnsureFolder(std::string* failureWords) {
  if (!m_list.SessionFolder().empty()) return true;
  std::string folder;
  if (!CreateSessionFolder(m_dataFolder, LocalTimeOf(m_startedUtcSeconds), &folder, failureWords)) {
    return false;
  }
  m_list.MoveTo(folder);
  m_recent = PushRecentSession(m_recent, folder);
  return true;
}

bool CWorkbenchSession::KeepMeasurement(const CaptureFileContext& ctx, const std::string& caption,
                                        int64_t madeUtcSeconds, std::string* id,
                                        std::string* failureWords) {
  if (!EnsureFolder(failureWords)) return false;
  const std::string folder = m_list.SessionFolder();
  const std::tm made = LocalTimeOf(madeUtcSeconds);
  const std::string name = NewCaptureFileName(folder, caption, made);
  if (name.empty()) {
    *failureWords = folder + ": no free name for the capture";
    return false;
  }
  const std::string path = folder + "/" + name;
  if (!SaveCaptureFile(ctx, path)) {
    *failureWords = path + ": the capture could not be saved";
    return false;
  }
  char time[16];
  std::snprintf(time, sizeof time, " %02d:%02d:%02d", made.tm_hour, made.tm_min, made.tm_sec);
  return m_list.Add(path, caption + time, madeUtcSeconds, id, failureWords);
}

bool CWorkbenchSession::Open(const std::string& folder, std::vector<std::string>* problems) {
  if (!m_list.Open(folder, problems)) return false;
  m_recent = PushRecentSession(m_recent, folder);
  return true;
}

bool CWorkbenchSession::SaveAs(const std::string& folder, std::vector<std::string>* notCopied,
                               std::string* failureWords) {
  if (m_list.SessionFolder().empty()) {
    // Nothing measured yet: the new folder simply becomes the session's.
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error) {
      *failureWords = folder + ": " + error.message();
      return false;
    }
    m_list.MoveTo(folder);
    if (!m_list.SetView(m_list.Document().view, failureWords)) return false;
    m_recent = PushRecentSession(m_recent, folder);
    return true;
  }
  SessionCopy copy;
  if (!SaveSessionAs(m_list.Document(), m_list.SessionFolder(), folder, &copy, failureWords)) {
    return false;
  }
  *notCopied = copy.notCopied;
  std::vector<std::string> problems;
  if (!m_list.Open(folder, &problems)) {
    *failureWords = folder + ": the saved session could not be opened again";
    return false;
  }
  m_recent = PushRecentSession(m_recent, folder);
  return true;
}

}  // namespace quorvel

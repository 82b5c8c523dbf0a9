#include "control/workbench/workbench_session.h"

#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <span>
#include <system_error>
#include <utility>

#include "base/kept_messages.h"
#include "base/util.h"
#include "control/captures/capture_files.h"
#include "measurement/measurement.h"
#include "measurement/recent_sessions.h"
#include "measurement/session_paths.h"
#include "measurement/session_store.h"

namespace quorvel {

CWorkbenchSession::CWorkbenchSession(std::string dataFolder, int64_t startedUtcSeconds)
    : m_dataFolder(std::move(dataFolder)), m_startedUtcSeconds(startedUtcSeconds), m_list("") {}

bool CWorkbenchSession::EnsureFolder(std::string* failureWords) {
  if (!m_list.SessionFolder().empty()) return true;
  if (m_dataFolder.empty()) {
    *failureWords = "no data folder to keep the session in";
    return false;
  }
  const Result<std::string> folder =
      CreateSessionFolder(m_dataFolder, LocalTimeOf(m_startedUtcSeconds));
  if (!folder) {
    *failureWords = folder.Message();
    return false;
  }
  m_list.MoveTo(*folder);
  m_recent = PushRecentSession(m_recent, *folder);
  return true;
}

namespace {

// The words of a capture save's failure for the one message the caller shows: the save's first
// line is its own command's; the second names the path and the reason.
std::string SaveFailureWords(const CKeptMessages& kept) {
  const std::string text = kept.FirstText();
  const size_t line = text.find('\n');
  return line == std::string::npos ? text : text.substr(line + 1);
}

int64_t UtcSecondsOf(const Measurement& measurement) {
  return std::chrono::duration_cast<std::chrono::seconds>(measurement.MadeAt().time_since_epoch())
      .count();
}

}  // namespace

bool CWorkbenchSession::KeepMeasurement(const CaptureFileContext& ctx,
                                        const Measurement& measurement, std::string* id,
                                        std::string* failureWords) {
  if (!EnsureFolder(failureWords)) return false;
  const std::string folder = m_list.SessionFolder();
  const std::string& caption = measurement.Caption();
  const std::tm made = LocalTimeOf(UtcSecondsOf(measurement));
  const std::string name = NewCaptureFileName(folder, caption, made);
  if (name.empty()) {
    *failureWords = folder + ": no free name for the capture";
    return false;
  }
  const std::string path = folder + "/" + name;
  CKeptMessages kept;
  const CaptureFileContext quiet{ctx.audio, ctx.state, ctx.wave, kept, ctx.preferences, ctx.charts};
  if (!KeepMeasurementCapture(quiet.Reading(), measurement, path)) {
    const std::string words = SaveFailureWords(kept);
    *failureWords = words.empty() ? path + ": the capture could not be saved" : words;
    return false;
  }
  char time[16];
  std::snprintf(time, sizeof time, " %02d:%02d:%02d", made.tm_hour, made.tm_min, made.tm_sec);
  return AddKept(path, caption + time, measurement, id, failureWords);
}

bool CWorkbenchSession::KeepReplay(const std::string& capturePath, const Measurement& measurement,
                                   std::string* id, std::string* failureWords) {
  if (!EnsureFolder(failureWords)) return false;
  const std::string path = NormalPath(capturePath);
  return AddKept(path, CUtil::StripExtension(CUtil::FileNameOfPath(path.c_str())), measurement, id,
                 failureWords);
}

bool CWorkbenchSession::AddKept(const std::string& path, const std::string& name,
                                const Measurement& measurement, std::string* id,
                                std::string* failureWords) {
  // In the list even when session.json could not be written: the next change writes it.
  const bool written = m_list.Add(path, name, UtcSecondsOf(measurement), id, failureWords);
  const std::span<const double> levels = measurement.Levels();
  m_liveCurves[*id] =
      LiveCurve{measurement.Fmin(), measurement.Fmax(), {levels.begin(), levels.end()}};
  return written;
}

const LiveCurve* CWorkbenchSession::LiveCurveOf(const std::string& id) const {
  const auto found = m_liveCurves.find(id);
  return found == m_liveCurves.end() ? nullptr : &found->second;
}

const LiveCurve* CWorkbenchSession::LiveCurveOf(const SessionEntry& entry) const {
  if (const LiveCurve* measured = LiveCurveOf(entry.id)) return measured;
  const auto found = m_analysedCurves.find(entry.capturePath);
  return found == m_analysedCurves.end() ? nullptr : &found->second;
}

bool CWorkbenchSession::Open(const std::string& folder, std::vector<std::string>* problems) {
  if (!m_list.Open(folder, problems)) return false;
  m_liveCurves.clear();  // the opened session's ids name other measurements
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
  if (const Result<void> saved =
          SaveSessionAs(m_list.Document(), m_list.SessionFolder(), folder, &copy);
      !saved) {
    *failureWords = saved.Message();
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

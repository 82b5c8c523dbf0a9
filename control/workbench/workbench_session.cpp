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

Result<void> CWorkbenchSession::EnsureFolder() {
  if (!m_list.SessionFolder().empty()) return {};
  if (m_dataFolder.empty()) return Failure{"no data folder to keep the session in"};
  const Result<std::string> folder =
      CreateSessionFolder(m_dataFolder, LocalTimeOf(m_startedUtcSeconds));
  if (!folder) return Failure{folder.Message()};
  m_list.MoveTo(*folder);
  m_recent = PushRecentSession(m_recent, *folder);
  return {};
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

Result<AddedTrace> CWorkbenchSession::KeepMeasurement(const CaptureFileContext& ctx,
                                                      const Measurement& measurement) {
  if (const Result<void> made = EnsureFolder(); !made) return Failure{made.Message()};
  const std::string folder = m_list.SessionFolder();
  const std::string& caption = measurement.Caption();
  const std::tm made = LocalTimeOf(UtcSecondsOf(measurement));
  const std::string name = NewCaptureFileName(folder, caption, made);
  if (name.empty()) return Failure{folder + ": no free name for the capture"};
  const std::string path = folder + "/" + name;
  CKeptMessages kept;
  const CaptureFileContext quiet{ctx.audio, ctx.state, ctx.wave, kept, ctx.preferences, ctx.charts};
  if (!KeepMeasurementCapture(quiet.Reading(), measurement, path)) {
    const std::string words = SaveFailureWords(kept);
    return Failure{words.empty() ? path + ": the capture could not be saved" : words};
  }
  char time[16];
  std::snprintf(time, sizeof time, " %02d:%02d:%02d", made.tm_hour, made.tm_min, made.tm_sec);
  return AddKept(path, caption + time, measurement);
}

Result<AddedTrace> CWorkbenchSession::KeepReplay(const std::string& capturePath,
                                                 const Measurement& measurement) {
  if (const Result<void> made = EnsureFolder(); !made) return Failure{made.Message()};
  const std::string path = NormalPath(capturePath);
  return AddKept(path, CUtil::StripExtension(CUtil::FileNameOfPath(path.c_str())), measurement);
}

AddedTrace CWorkbenchSession::AddKept(const std::string& path, const std::string& name,
                                      const Measurement& measurement) {
  // In the list even when session.json could not be written: the next change writes it.
  AddedTrace added = m_list.Add(path, name, UtcSecondsOf(measurement));
  const std::span<const double> levels = measurement.Levels();
  m_liveCurves[added.id] =
      LiveCurve{measurement.Fmin(), measurement.Fmax(), {levels.begin(), levels.end()}};
  return added;
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

Result<std::vector<std::string>> CWorkbenchSession::SaveAs(const std::string& folder) {
  if (m_list.SessionFolder().empty()) {
    // Nothing measured yet: the new folder simply becomes the session's.
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error) return Failure{folder + ": " + error.message()};
    m_list.MoveTo(folder);
    if (const Result<void> written = m_list.SetView(m_list.Document().view); !written) {
      return Failure{written.Message()};
    }
    m_recent = PushRecentSession(m_recent, folder);
    return std::vector<std::string>{};
  }
  SessionCopy copy;
  if (const Result<void> saved =
          SaveSessionAs(m_list.Document(), m_list.SessionFolder(), folder, &copy);
      !saved) {
    return Failure{saved.Message()};
  }
  std::vector<std::string> problems;
  if (!m_list.Open(folder, &problems)) {
    return Failure{folder + ": the saved session could not be opened again"};
  }
  m_recent = PushRecentSession(m_recent, folder);
  return std::move(copy.notCopied);
}

}  // namespace quorvel

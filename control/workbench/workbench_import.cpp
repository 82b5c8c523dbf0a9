#include "control/workbench/workbench_import.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <utility>

#include "base/preferences.h"
#include "base/shared_state.h"
#include "base/user_messages.h"
#include "base/util.h"
#include "control/capture_response.h"
#include "control/quorvel_core.h"
#include "response/impulse_analysis.h"

namespace quorvel {

namespace {

std::string Reason(CaptureResponseResult result, const std::string& why) {
  switch (result) {
    case CaptureResponseResult::kOk:
      return "";
    case CaptureResponseResult::kFileRefused:
      return "the file could not be loaded";
    case CaptureResponseResult::kRangeRefused:
      return why.empty() ? "its frequency range cannot be analysed" : why;
    case CaptureResponseResult::kChartRefused:
      return "its microphone chart is not valid";
    case CaptureResponseResult::kNoImpulse:
      return "no impulse response stands above the noise";
    case CaptureResponseResult::kRecordingRefused:
      return "the recording was refused on its replay";
  }
  return "it could not be analysed";
}

// What a capture's reading sets as Load Audio File would: the main window's last capture file,
// its finished run and caption. A capture analysed for the list leaves them as they were, so
// Save Audio File still saves the run the window shows.
class CMainWindowCapture {
 public:
  explicit CMainWindowCapture(CQuorvelCore& core)
      : m_core(core),
        m_wavPath(core.Shared().m_szWavPath),
        m_storedWav(core.Preferences().ReadString(kPrefWav, "")),
        m_caption(core.Shared().m_szGraphCaption,
                  strnlen(core.Shared().m_szGraphCaption, sizeof core.Shared().m_szGraphCaption)),
        m_curveEndNotified(core.Shared().m_bCurveEndNotified.load()),
        m_curveFmin(core.Shared().m_curveFmin),
        m_curveFmax(core.Shared().m_curveFmax) {}
  CMainWindowCapture(const CMainWindowCapture&) = delete;
  CMainWindowCapture& operator=(const CMainWindowCapture&) = delete;
  ~CMainWindowCapture() {
    CSharedState& shared = m_core.Shared();
    CUtil::CopyText(shared.m_szWavPath, m_wavPath.c_str());
    m_core.Preferences().WriteString(kPrefWav, m_storedWav);
    std::snprintf(shared.m_szGraphCaption, sizeof shared.m_szGraphCaption, "%s", m_caption.c_str());
    shared.m_bCurveEndNotified.store(m_curveEndNotified);
    shared.m_curveFmin = m_curveFmin;
    shared.m_curveFmax = m_curveFmax;
  }

 private:
  CQuorvelCore& m_core;
  std::string m_wavPath;
  std::string m_storedWav;
  std::string m_caption;
  int32_t m_curveEndNotified;
  double m_curveFmin;
  double m_curveFmax;
};

// What the load and the analysis would have shown, kept as words for the one summary the
// caller shows: the first message, its lines joined.
class CFirstMessage final : public IUserMessages {
 public:
  void ShowMessage(const std::string& text, const std::string&) override {
    if (!words.empty()) return;
    for (const char c : text) words.push_back(c == '\n' ? ' ' : c);
  }
  bool AskYesNo(const std::string&, const std::string&) override { return false; }
  bool ChooseSaveFile(const std::string&, const std::string&, std::string*) override {
    return false;
  }
  bool ChooseOpenFile(const std::string&, const std::string&, std::string*) override {
    return false;
  }
  bool ChooseFolder(const std::string&, const std::string&, std::string*) override { return false; }
  std::string words;
};

ImportedCapture AnalyseOne(CQuorvelCore& core, const std::string& path, double gateMs,
                           CImpulseAnalysis& analysis) {
  const CMainWindowCapture kept(core);
  ImportedCapture imported;
  imported.path = path;
  CaptureResponseRequest request;
  request.path = path;
  request.gateMs = gateMs;
  LoadedResponseCapture loaded;
  std::string why;
  CFirstMessage said;
  CaptureReadContext reading = core.FileContext().Reading();
  const CaptureReadContext quiet{reading.state, reading.wave, said, reading.preferences,
                                 reading.charts};
  CaptureResponseResult result = LoadCaptureForResponse(quiet, request, &loaded, &why);
  if (result == CaptureResponseResult::kOk) {
    result = AnalyzeCaptureResponse(said, loaded, gateMs, &analysis, &imported.warnings,
                                    &imported.live.levels);
    imported.live.fmin = loaded.fmin;
    imported.live.fmax = loaded.fmax;
    if (result == CaptureResponseResult::kOk) {
      OrMessage<Trace> trace =
          TraceFromAnalysis(analysis, std::filesystem::path(path).stem().string());
      if (!trace.Ok()) {
        imported.failure = path + ": " + trace.Message();
        return imported;
      }
      imported.trace = std::move(trace).Value();
      imported.ok = true;
      // what the load said of a file it still took ("could not find microphone")
      if (!said.words.empty()) imported.warnings.push_back(said.words);
      return imported;
    }
  }
  imported.failure = path + ": " + (said.words.empty() ? Reason(result, why) : said.words);
  return imported;
}

}  // namespace

std::vector<ImportedCapture> AnalyseCaptures(CQuorvelCore& core,
                                             const std::vector<std::string>& paths, double gateMs,
                                             const ImportProgress& progress) {
  std::vector<ImportedCapture> imported;
  imported.reserve(paths.size());
  // one analysis for all: it keeps its transforms' plans and buffers from one capture to the next
  CImpulseAnalysis analysis;
  for (const std::string& path : paths) {
    if (progress && !progress(imported.size(), paths.size())) return imported;
    imported.push_back(AnalyseOne(core, path, gateMs, analysis));
  }
  if (progress) progress(imported.size(), paths.size());
  return imported;
}

}  // namespace quorvel

#include "control/response/response_session.h"

#include <cctype>
#include <cmath>
#include <new>
#include <vector>

#include "base/messages.h"
#include "base/number_text.h"
#include "base/preferences.h"
#include "base/shared_state.h"
#include "base/user_messages.h"
#include "control/captures/capture_files.h"
#include "control/captures/response_files.h"
#include "control/quorvel_core.h"
#include "control/response/capture_response.h"
#include "control/workbench/workbench_import.h"
#include "measurement/measurement_response.h"
#include "response/reference_timing.h"

namespace quorvel {

namespace {

// What the window says of the response's timing: the delay and the clocks' drift from the
// loopback reference, or without one where the peak lies after the played sweep (a live
// measurement) or in the recording (a loaded one).
std::string TimingLine(const CImpulseAnalysis& analysis) {
  const ResponseTiming& timing = analysis.GetTimeReference();
  const double perMs = CImpulseAnalysis::kRate / 1000.0;
  std::string line;
  if (!timing.loopback) {
    line = "No timing reference: the impulse response peaks ";
    if (timing.playedDelaySamples) return line + PlayedDelayWords(*timing.playedDelaySamples);
    line += FormatFixed(analysis.PeakPosition() / perMs, 3);
    line += " ms into the recording, a time that includes the devices' latency";
    return line;
  }
  line = "Delay ";
  line += FormatFixed(timing.delaySamples / perMs, 3);
  line += " ms (";
  line += FormatFixed(timing.delaySamples, 2);
  line += " samples, ";
  line += FormatFixed(timing.delaySamples / CImpulseAnalysis::kRate * 343.0, 2);
  line += " m at 343 m/s) from the timing reference; clock drift ";
  line += FormatFixed(timing.driftPpm, 1);
  line += " ppm (input against output)";
  return line;
}

bool IsBlank(char c) {
  return std::isspace(static_cast<unsigned char>(c)) != 0;
}

// text without the white space around it
std::string Trimmed(const std::string& text) {
  std::size_t begin = 0;
  std::size_t end = text.size();
  while (begin < end && IsBlank(text[begin])) ++begin;
  while (end > begin && IsBlank(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

bool EqualsNoCase(const std::string& text, const char* word) {
  std::size_t i = 0;
  for (; i < text.size() && word[i] != '\0'; ++i) {
    if (std::tolower(static_cast<unsigned char>(text[i])) != word[i]) return false;
  }
  return i == text.size() && word[i] == '\0';
}

}  // namespace

Result<double> ParseGate(const std::string& text, double maxMs) {
  std::string typed = Trimmed(text);
  if (EqualsNoCase(typed, "off")) return 0.0;
  // a decimal comma reads as the point, whatever the locale
  if (const std::size_t comma = typed.find(','); comma != std::string::npos) typed[comma] = '.';
  double value = 0.0;
  const char* end = typed.data() + typed.size();
  const char* rest = ScanDouble(typed.data(), end, &value);
  const bool unitOnly = rest != nullptr && (Trimmed(std::string(rest, end)).empty() ||
                                            EqualsNoCase(Trimmed(std::string(rest, end)), "ms"));
  if (unitOnly && std::isfinite(value) && value > 0.0 && value <= maxMs) return value;
  return Failure{"The gate must be Off, or a time in milliseconds above 0 and at most " +
                 FormatFixed(std::floor(maxMs * 10.0) / 10.0, 1) + " ms after the peak"};
}

std::string FormatGate(double gateMs) {
  return gateMs > 0.0 ? FormatGeneral(gateMs, 6) + " ms" : std::string("Off");
}

CResponseSession::CResponseSession(CQuorvelCore& core) : CResponseSession(core, core.Messages()) {}

CResponseSession::CResponseSession(CQuorvelCore& core, IUserMessages& messages)
    : m_core(core), m_messages(messages), m_analysis(std::make_unique<CImpulseAnalysis>()) {}

CResponseSession::~CResponseSession() = default;

const Measurement* CResponseSession::Current(CQuorvelCore& core) {
  const CaptureFileContext ctx = core.FileContext();
  if (!HasCaptureToSave(ctx) || IsMeasurementActive(ctx) || core.Sequence().IsRunning()) {
    return nullptr;
  }
  return ctx.finished;
}

bool CResponseSession::Analyse() {
  const Measurement* current = Current(m_core);
  if (current == nullptr) {
    m_messages.ShowMessage(kMsgNoNewCapture);
    return false;
  }
  // a copy: the next run replaces the sequence's
  const Measurement measurement = *current;
  return Analyse(measurement);
}

bool CResponseSession::AnalyseCapture(const std::string& capturePath) {
  const std::optional<Measurement> measurement =
      MeasureListCapture(m_core, m_messages, capturePath);
  return measurement && Analyse(*measurement);
}

bool CResponseSession::Analyse(const Measurement& measurement) {
  IUserMessages& messages = m_messages;
  ResponseStatus status = ResponseStatus::kOk;
  std::vector<std::string> timing;
  // a new analysis, as quorvel-cli's of the capture: nothing of the last result is redone first
  const double gateMs = m_analysis->GateMs();
  m_analysis = std::make_unique<CImpulseAnalysis>();
  try {
    status = AnalyseMeasurementResponse(measurement, gateMs, m_analysis.get());
    if (status == ResponseStatus::kOk) {
      TimeFromLoadedReference(measurement.GetRecording(), m_analysis.get(), &timing);
    }
  } catch (const std::bad_alloc&) {
    // The transforms of a long recording did not fit: the window stays, with no analysis.
    ForgetAnalysis();
    messages.ShowMessage(kMsgNoMemoryForResponse);
    return false;
  }
  if (status != ResponseStatus::kOk) {
    m_source.reset();
    m_description.clear();
    messages.ShowMessage(kMsgNoImpulse);
    return false;
  }
  m_source = measurement;
  m_description =
      measurement.Caption() + ", " + FormatRangeTitle(measurement.Fmin(), measurement.Fmax());
  if (!measurement.ChartName().empty()) {
    m_description += ", microphone \"" + measurement.ChartName() + "\"";
  }
  m_description += '\n';
  m_description += TimingLine(*m_analysis);
  for (const std::string& line : timing) m_description += "\n" + line;
  return true;
}

bool CResponseSession::SetGate(const std::string& text) {
  const double maxMs = m_analysis->HasResult() ? m_analysis->UngatedWindowMs() : 0.0;
  const Result<double> parsed = ParseGate(text, maxMs);
  if (!parsed) {
    m_messages.ShowMessage(parsed.Message());
    return false;
  }
  const double gateMs = *parsed;
  if (gateMs == m_analysis->GateMs()) return true;
  try {
    m_analysis->SetGate(gateMs);
  } catch (const std::bad_alloc&) {
    // the gated response did not fit: the window stays, with no analysis
    ForgetAnalysis();
    m_messages.ShowMessage(kMsgNoMemoryForResponse);
    return false;
  }
  return true;
}

void CResponseSession::ForgetAnalysis() {
  // A fresh analysis holds nothing half-made from the one that ran out of memory.
  m_analysis = std::make_unique<CImpulseAnalysis>();
  m_source.reset();
  m_description.clear();
}

bool CResponseSession::ExportFrd() {
  return Export("frd", &SaveFrd);
}

bool CResponseSession::ExportImpulseResponse() {
  return Export("wav", &SaveImpulseWav);
}

bool CResponseSession::ExportDistortionCsv() {
  return Export("csv", &SaveDistortionCsv);
}

bool CResponseSession::Export(const char* extension, Writer write) {
  if (!m_analysis->HasResult()) return false;
  IUserMessages& messages = m_messages;
  const std::string last =
      !m_lastExport.empty() ? m_lastExport : m_core.Preferences().ReadString(kPrefCurves, "");
  std::string path;
  if (!messages.ChooseSaveFile(ChooserStartFolder(last, m_core.Shared().m_szExeDir), extension,
                               &path)) {
    return false;
  }
  m_lastExport = path;
  if (const Result<void> written = write(path, *m_analysis); !written) {
    messages.ShowMessage(written.Message().empty() ? std::string(kMsgCannotSaveFile)
                                                   : written.Message());
    return false;
  }
  return true;
}

}  // namespace quorvel

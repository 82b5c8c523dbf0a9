#pragma once

#include <memory>
#include <optional>
#include <string>

#include "base/result.h"
#include "measurement/measurement.h"
#include "response/impulse_analysis.h"

namespace quorvel {

class CQuorvelCore;
class IUserMessages;

// The gates the window offers besides a typed one [ms after the peak]; 0 is no gate.
struct GateChoice {
  const char* label;
  double gateMs;
};
inline constexpr GateChoice kGateChoices[] = {
    {"Off", 0.0}, {"2.5 ms", 2.5}, {"5 ms", 5.0}, {"10 ms", 10.0}};

// A gate as the user gives it: "Off" (any case) or a number of milliseconds with a decimal point
// or comma, optionally followed by "ms" ("3.5", "3,5 ms"). A number must be finite, above 0 and
// at most maxMs (the ungated window: a longer gate would keep nothing more). The gate [ms] (0 for
// Off), or the words that say why not.
[[nodiscard]] Result<double> ParseGate(const std::string& text, double maxMs);

// A gate as the window shows it: "Off", or "%g ms" in the C locale ("2.5 ms").
[[nodiscard]] std::string FormatGate(double gateMs);

// The window's impulse-response command over one measurement: the main window's last complete
// measurement or replayed capture file, or a measurement of the workbench's list read from its
// capture. It runs the analysis of the measurement's recording over its range, corrected by its
// chart (as quorvel-cli response analyses a capture, timed from the loopback reference when the
// recording has one), keeps the gate, and writes the exports through the atomic save.
// User-interface thread only; every message and chooser goes through the core's IUserMessages,
// or those of the window the session belongs to.
class CResponseSession {
 public:
  explicit CResponseSession(CQuorvelCore& core);
  CResponseSession(CQuorvelCore& core, IUserMessages& messages);
  ~CResponseSession();
  CResponseSession(const CResponseSession&) = delete;
  CResponseSession& operator=(const CResponseSession&) = delete;

  // The main window's measurement the command runs on: the last complete run while its curve
  // stands (as Save Audio File would save it) and nothing of a measurement or replay runs. Null
  // when there is none.
  [[nodiscard]] static const Measurement* Current(CQuorvelCore& core);
  [[nodiscard]] static bool Available(CQuorvelCore& core) { return Current(core) != nullptr; }

  // Analyses the main window's measurement (Current) with the gate kept so far. False after
  // "No new capture performed" (an earlier result stays), or as Analyse(measurement).
  bool Analyse();
  // Analyses this measurement with the gate kept so far. False after a message: no impulse
  // response above the noise (the earlier result is gone), or no memory for it.
  bool Analyse(const Measurement& measurement);
  // Reads the workbench's capture file (as Add Captures reads it, the main window's capture and
  // caption left as they were) and analyses its measurement. False after the read's message.
  bool AnalyseCapture(const std::string& capturePath);

  [[nodiscard]] const CImpulseAnalysis& Analysis() const { return *m_analysis; }
  [[nodiscard]] bool HasResult() const { return m_analysis->HasResult(); }
  // The measurement of the result (null without one).
  [[nodiscard]] const Measurement* Source() const { return m_source ? &*m_source : nullptr; }
  // What the result was made from: the measurement's caption, its range, the microphone, and
  // the timing on a line of its own (the delay and the clocks' drift from the timing reference,
  // or where the peak lies without one), then what the reference warned of.
  [[nodiscard]] const std::string& Description() const { return m_description; }

  // The gate from a choice or a typed text (ParseGate against the result's ungated window).
  // True when it is taken (also unchanged); false after a message naming the rule, the gate
  // kept as it was. GateMs is the gate as applied to the result (0: none). When memory runs
  // out for the gated response, false after "Not enough memory...", with no analysis left.
  bool SetGate(const std::string& text);
  [[nodiscard]] double GateMs() const { return m_analysis->AppliedGateMs(); }

  // The exports of the result: a save-file chooser ("frd", "wav", "csv"), then the file written
  // whole or not at all. False when nothing was written (cancelled, no result, or after
  // kMsgCannotSaveFile with the path and the system's reason).
  bool ExportFrd();
  bool ExportImpulseResponse();
  bool ExportDistortionCsv();

  // Any other export of the result with the same chooser and messages: a writer of the
  // response files' shape (control/response_view_files.h, the views' pictures).
  using Writer = Result<void> (*)(const std::string& path, const CImpulseAnalysis& analysis);
  bool Export(const char* extension, Writer write);

 private:
  // After a lack of memory: no analysis, and none half-made.
  void ForgetAnalysis();

  CQuorvelCore& m_core;
  IUserMessages& m_messages;
  std::unique_ptr<CImpulseAnalysis> m_analysis;
  std::optional<Measurement> m_source;
  std::string m_description;
  std::string m_lastExport;  // the last export's path: the next chooser opens beside it
};

}  // namespace quorvel

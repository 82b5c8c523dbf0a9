#pragma once
// The impulse-response analyses of many capture files at once, each as `response` analyses it
// (read with Load Audio File's checks, replayed offline and judged, deconvolved), into traces:
// what Add Captures, Open Session and quorvel-cli's overlay and average share. The files are
// read on the calling thread, one after another, and analysed on up to two worker threads
// (each capture's analysis is independent of the others'); the captures come back in the files'
// order, each with the messages its reading and analysis would have shown, kept in order. The
// workers are joined before it returns: no thread is ever killed.
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "base/kept_messages.h"
#include "control/response/capture_response.h"
#include "measurement/trace.h"

namespace quorvel {

class CQuorvelCore;
class CImpulseAnalysis;

struct CaptureAnalysisSetup {
  double gateMs = 0.0;  // see CImpulseAnalysis::SetGate
  // Each capture's trace name, in the files' order; none given: the file name without its
  // extension.
  std::vector<std::string> names;
  // Called once for each worker's analysis before its first capture (a level scale, say).
  std::function<void(CImpulseAnalysis&)> prepare;
};

// One capture analysed.
struct AnalysedCapture {
  std::string path;
  bool read = false;  // the file read and its range settled: the result is the analysis's
  CaptureResponseResult result = CaptureResponseResult::kOk;
  std::string why;    // the reading's kRangeRefused's reason
  double fmin = 0.0;  // the range analysed [Hz] (once read)
  double fmax = 0.0;
  std::optional<Trace> trace;         // when the analysis gave a response
  std::string traceRefusal;           // why a response gave no trace
  std::vector<std::string> warnings;  // the replay's verdict's and the timing reference's
  std::vector<double> liveLevels;     // the replay's live curve points
  CKeptMessages messages;             // what the reading and the analysis said, in order
};

// Called on the calling thread with each capture in the files' order; false stops: no further
// capture is handed over (an analysis already begun is let finish and dropped).
using TakeAnalysedCapture = std::function<bool(AnalysedCapture& capture)>;

// Analyses the files (the core's engine untouched; the main window's capture file, caption and
// curve left as they were). Main thread.
void AnalyseCapturesInOrder(CQuorvelCore& core, const std::vector<std::string>& paths,
                            const CaptureAnalysisSetup& setup, const TakeAnalysedCapture& take);

// Reads one capture as AnalyseCapturesInOrder reads it, through `messages`, the main window's
// capture left as it was; fails as LoadCaptureForResponse. Main thread.
[[nodiscard]] Result<LoadedResponseCapture> ReadCaptureLeavingWindow(
    CQuorvelCore& core, IUserMessages& messages, const CaptureResponseRequest& request);

}  // namespace quorvel

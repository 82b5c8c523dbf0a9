#pragma once
// The impulse-response analysis of a saved capture file, as quorvel-cli's response command runs
// it: the file loaded with Load Audio File's checks and messages, the range from its title tag
// (or the one given), the microphone chart given or the one the file names, then the analysis.
#include <string>
#include <vector>

#include "response/impulse_analysis.h"

namespace quorvel {

class CQuorvelCore;
struct Recording;

// What to analyse.
struct CaptureResponseRequest {
  std::string path;        // the capture file
  bool fminGiven = false;  // else the title tag's fmin
  bool fmaxGiven = false;  // else the title tag's fmax
  double fmin = 20.0;      // [Hz]
  double fmax = 20000.0;   // [Hz]
  std::string chartPath;   // a chart to apply; empty: the microphone the file names, if any
  double gateMs = 0.0;     // see CImpulseAnalysis::SetGate
};

enum class CaptureResponseResult {
  kOk,
  kFileRefused,       // the load refused the file; its message has been shown
  kRangeRefused,      // a range outside 1.9 <= fmin < fmax <= 24000 (the reason in *why)
  kChartRefused,      // the chart is unusable; kMsgChartNotValid has been shown
  kNoImpulse,         // no impulse response stands above the noise; kMsgNoImpulse has been shown
  kRecordingRefused,  // the replay's verdict refuses the recording; its message has been shown
};

// The loaded capture, ready for AnalyzeCaptureResponse.
struct LoadedResponseCapture {
  double fmin = 0.0;  // the range analysed [Hz]
  double fmax = 0.0;
  LevelCorrection correction;  // empty: no chart
  std::string chartName;       // the chart's name, for the FRD comment
};

// Loads the capture file into the core's engine and settles the range and the chart: the
// load's refusals and "could not find microphone" go through the core's messages, as Load
// Audio File shows them; a chart given replaces the file's own (as `analyze` applies it).
// The range, given or the title's, follows a measurement's limits. Main thread, no measurement
// running.
[[nodiscard]] CaptureResponseResult LoadCaptureForResponse(CQuorvelCore& core,
                                                           const CaptureResponseRequest& request,
                                                           LoadedResponseCapture* loaded,
                                                           std::string* why);

// Judges the samples the core's engine holds from LoadCaptureForResponse as `analyze` does
// (their replay into the core's curve, then JudgeReplay: kRecordingRefused after its message,
// else its warnings in *warnings), then analyses them over the loaded range, with its chart and
// the request's gate, into *analysis. kNoImpulse after kMsgNoImpulse.
[[nodiscard]] CaptureResponseResult AnalyzeCaptureResponse(CQuorvelCore& core,
                                                           const LoadedResponseCapture& loaded,
                                                           double gateMs,
                                                           CImpulseAnalysis* analysis,
                                                           std::vector<std::string>* warnings);

// The timing of a two-channel recording (the measurement, then its loopback reference) swept
// over fmin..fmax [Hz]: both deconvolved, the delay and the clocks' drift in *timing. False when
// the recording has no reference or either channel shows no impulse response.
[[nodiscard]] bool TimeRecordingFromReference(const Recording& recording, double fmin, double fmax,
                                              ResponseTiming* timing);

// The warning of a drift that two devices on one clock never show; empty below it.
[[nodiscard]] std::string ClockDriftWarning(const ResponseTiming& timing);

}  // namespace quorvel

#pragma once
// The impulse-response analysis of a saved capture file, as quorvel-cli's response command runs
// it: the file loaded with Load Audio File's checks and messages, the range from its title tag
// (or the one given), the microphone chart given or the one the file names, then the analysis.
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/result.h"
#include "control/captures/capture_files.h"
#include "measurement/measurement.h"
#include "response/impulse_analysis.h"

namespace quorvel {

class CQuorvelCore;
class IUserMessages;
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
  // A two-channel capture's channel 2 is the measurement and channel 1 its timing reference
  // (as some programs write them); false: channel 1 measures, as Quorvel writes them.
  bool measuredOnChannel2 = false;
};

// A capture of one channel asked for its channel 2.
inline constexpr char kMsgOneChannel[] =
    "The capture has one channel: its measurement is channel 1 (the left)";

enum class CaptureResponseResult {
  kOk,
  kFileRefused,       // the load refused the file or its chart; its message has been shown
  kRangeRefused,      // a range outside 1.9 <= fmin < fmax <= 24000
  kNoImpulse,         // no impulse response stands above the noise; kMsgNoImpulse has been shown
  kRecordingRefused,  // the replay's verdict refuses the recording; its message has been shown
};

// The loaded capture, ready for AnalyzeCaptureResponse: the file as it was read, the range
// to analyse and the chart resolved for it.
struct LoadedResponseCapture {
  double fmin = 0.0;  // the range analysed [Hz]
  double fmax = 0.0;
  CaptureFileContents file;
  std::optional<ResolvedChart> chart;  // none: no chart
};

// Reads the capture file once (ReadCaptureFile: no engine) and settles the range and the chart:
// the read's refusals and "could not find microphone" go through ctx's messages, as Load Audio
// File shows them; a chart given replaces the file's own and is read once. The range, given or
// the title's, follows a measurement's limits. The failure of a range outside them is its reason,
// for the caller to say; every other failure's message is empty, having been shown. Main thread.
[[nodiscard]] Result<LoadedResponseCapture> LoadCaptureForResponse(
    const CaptureReadContext& ctx, const CaptureResponseRequest& request);
// The same with the core's file context and messages; the core's engine is not touched.
[[nodiscard]] Result<LoadedResponseCapture> LoadCaptureForResponse(
    CQuorvelCore& core, const CaptureResponseRequest& request);

// The Measurement of a loaded capture, as a replay of it gives one: its recording replayed
// offline (measurement/offline_analysis.h) and judged by JudgeReplay. Without one
// (kRecordingRefused) after the verdict's message; with one, the verdict's warnings are its
// warnings.
[[nodiscard]] std::optional<Measurement> MeasureLoadedCapture(IUserMessages& messages,
                                                              const LoadedResponseCapture& loaded);

// MeasureLoadedCapture, then the impulse-response analysis of that Measurement with the
// request's gate into *analysis; the verdict's warnings in *warnings, and, when liveLevels is
// given, the replay's live curve points. kNoImpulse after kMsgNoImpulse. No engine is used. A
// two-channel capture's timing reference is analysed in *timing when given (an object kept for
// many captures keeps its transforms and the played signal), else in an analysis of its own.
// Any thread, with objects of its own.
[[nodiscard]] CaptureResponseResult AnalyzeCaptureResponse(
    IUserMessages& messages, const LoadedResponseCapture& loaded, double gateMs,
    CImpulseAnalysis* analysis, std::vector<std::string>* warnings,
    CImpulseAnalysis* timing = nullptr, std::vector<double>* liveLevels = nullptr);
// The same with the core's messages.
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

// A two-channel recording's response in *analysis timed from its second channel, the loopback
// reference; a reference that shows no impulse response leaves it timed from its own peak. What
// the reference tells (that, or a drift two devices on one clock never show) in *warnings. The
// reference is analysed in *kept when given (kept for many captures), else in its own analysis.
void TimeFromLoadedReference(const Recording& recording, CImpulseAnalysis* analysis,
                             std::vector<std::string>* warnings, CImpulseAnalysis* kept = nullptr);

// The warning of a drift that two devices on one clock never show; empty below it.
[[nodiscard]] std::string ClockDriftWarning(const ResponseTiming& timing);

}  // namespace quorvel

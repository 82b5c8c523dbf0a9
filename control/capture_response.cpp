#include "control/capture_response.h"

#include <cmath>
#include <cstdint>
#include <span>
#include <utility>

#include "base/number_text.h"
#include "base/shared_state.h"
#include "base/user_messages.h"
#include "calibration/micro_list_proc.h"
#include "control/capture_files.h"
#include "control/chart_correction.h"
#include "control/curve_completion.h"
#include "control/measurement_request.h"
#include "control/quorvel_core.h"
#include "control/replay_verdict.h"
#include "engine/audio_engine.h"
#include "measurement/recording.h"
#include "response/reference_timing.h"

namespace quorvel {

CaptureResponseResult LoadCaptureForResponse(CQuorvelCore& core,
                                             const CaptureResponseRequest& request,
                                             LoadedResponseCapture* loaded, std::string* why) {
  LoadedCaptureFile file;
  if (!LoadCaptureFile(core.FileContext(), request.path, &file)) {
    return CaptureResponseResult::kFileRefused;
  }
  LoadedResponseCapture result;
  result.fmin = request.fminGiven ? request.fmin : file.fmin;
  result.fmax = request.fmaxGiven ? request.fmax : file.fmax;
  // given or from the title, the range keeps a measurement's limits (a title below 1.9 Hz
  // passes the load's rule)
  std::string reason;
  if (!CheckRange(result.fmin, result.fmax, RangeRule::kAnyWithinLimits, &reason)) {
    if (why != nullptr) *why = reason;
    return CaptureResponseResult::kRangeRefused;
  }
  // a chart given is listed and selected as `analyze` applies it, so both name it alike
  CMicroListProc& charts = core.MicroList();
  if (!request.chartPath.empty() &&
      !charts.ApplyChartFile(request.chartPath, result.fmin, result.fmax)) {
    return CaptureResponseResult::kChartRefused;
  }
  if (!request.chartPath.empty() || file.calibrationApplied) {
    const int chart = core.Shared().m_nSelectedChart.load();
    if (!LoadChartCorrection(charts.ChartPath(chart), result.fmin, result.fmax,
                             &result.correction)) {
      core.Messages().ShowMessage(kMsgChartNotValid);
      return CaptureResponseResult::kChartRefused;
    }
    result.chartName = charts.ChartName(chart);
  }
  if (loaded != nullptr) *loaded = std::move(result);
  return CaptureResponseResult::kOk;
}

namespace {

// Above this the input and the output cannot share one clock [ppm].
constexpr double kLargestSharedClockDrift = 50.0;

// A two-channel capture's response timed from its second channel, the loopback reference; the
// reference that shows no impulse response leaves the measurement timed from its own peak.
void TimeFromLoadedReference(std::span<const int16_t> reference, std::size_t count,
                             CImpulseAnalysis* analysis, std::vector<std::string>* warnings) {
  if (reference.empty() || reference.size() != count) return;
  CImpulseAnalysis timing;
  if (timing.Analyze(reference.data(), reference.size(), analysis->Fmin(), analysis->Fmax()) !=
      ResponseStatus::kOk) {
    warnings->push_back(
        "the timing reference holds no impulse response: the response is timed from its own "
        "peak");
    return;
  }
  const ResponseTiming time = TimeFromReference(*analysis, timing);
  analysis->SetTimeReference(time);
  const std::string drift = ClockDriftWarning(time);
  if (!drift.empty()) warnings->push_back(drift);
}

}  // namespace

std::string ClockDriftWarning(const ResponseTiming& timing) {
  if (!timing.loopback || !(std::abs(timing.driftPpm) > kLargestSharedClockDrift)) return {};
  return "the input and the output run on different clocks (drift " +
         FormatFixed(timing.driftPpm, 1) + " ppm)";
}

bool TimeRecordingFromReference(const Recording& recording, double fmin, double fmax,
                                ResponseTiming* timing) {
  if (recording.channels != 2) return false;
  const std::vector<int16_t> heard = recording.Channel(0);
  const std::vector<int16_t> looped = recording.Channel(1);
  CImpulseAnalysis measured;
  CImpulseAnalysis reference;
  if (measured.Analyze(heard.data(), heard.size(), fmin, fmax) != ResponseStatus::kOk ||
      reference.Analyze(looped.data(), looped.size(), fmin, fmax) != ResponseStatus::kOk) {
    return false;
  }
  *timing = TimeFromReference(measured, reference);
  return true;
}

CaptureResponseResult AnalyzeCaptureResponse(CQuorvelCore& core,
                                             const LoadedResponseCapture& loaded, double gateMs,
                                             CImpulseAnalysis* analysis,
                                             std::vector<std::string>* warnings) {
  // the recording is judged as `analyze` judges it, from its replay
  static_cast<void>(AnalyzeLoadedSamples(core.Audio(), core.Graph(), loaded.fmin, loaded.fmax));
  ReplayVerdict verdict = JudgeLoadedReplay(core.Audio(), core.Graph(), loaded.fmin, loaded.fmax);
  if (!verdict.failure.empty()) {
    core.Messages().ShowMessage(verdict.failure);
    return CaptureResponseResult::kRecordingRefused;
  }
  *warnings = std::move(verdict.warnings);
  const std::span<const int16_t> samples = core.Audio().Loaded();
  analysis->SetGate(gateMs);
  analysis->SetCorrection(loaded.correction, loaded.chartName);
  switch (analysis->Analyze(samples.data(), samples.size(), loaded.fmin, loaded.fmax)) {
    case ResponseStatus::kOk:
      TimeFromLoadedReference(core.Audio().LoadedReference(), samples.size(), analysis, warnings);
      return CaptureResponseResult::kOk;
    case ResponseStatus::kRangeRefused:
      // within a measurement's limits the signal always holds the whole sweep
      return CaptureResponseResult::kRangeRefused;
    case ResponseStatus::kNoImpulse:
      break;
  }
  core.Messages().ShowMessage(kMsgNoImpulse);
  return CaptureResponseResult::kNoImpulse;
}

}  // namespace quorvel

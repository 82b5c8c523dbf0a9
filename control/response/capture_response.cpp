#include "control/response/capture_response.h"

#include <chrono>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <system_error>
#include <utility>

#include "base/messages.h"
#include "base/number_text.h"
#include "base/shared_state.h"
#include "base/user_messages.h"
#include "base/util.h"
#include "control/quorvel_core.h"
#include "control/run/failure_words.h"
#include "control/run/measurement_request.h"
#include "control/run/replay_verdict.h"
#include "measurement/measurement_response.h"
#include "measurement/offline_analysis.h"
#include "measurement/recording.h"
#include "response/reference_timing.h"

namespace quorvel {

namespace {

// The name a chart given by its path goes by, as the chart lists name it: the title of its
// full path.
std::string GivenChartName(const std::string& path) {
  std::error_code ec;
  const std::filesystem::path full = std::filesystem::absolute(path, ec);
  return CUtil::FileTitleOfPath(ec ? path : full.string());
}

}  // namespace

Result<LoadedResponseCapture> LoadCaptureForResponse(const CaptureReadContext& ctx,
                                                     const CaptureResponseRequest& request) {
  LoadedResponseCapture result;
  if (!ReadCaptureFile(ctx, request.path, &result.file)) {
    return Failure{};
  }
  if (request.measuredOnChannel2) {
    // the channels trade places: from here on the capture is as Quorvel writes it
    const Recording& read = *result.file.recording;
    if (read.channels != 2) {
      ctx.messages.ShowMessage(kMsgOneChannel);
      return Failure{};
    }
    auto swapped = std::make_shared<Recording>(read);
    for (size_t i = 0; i + 1 < swapped->samples.size(); i += 2) {
      std::swap(swapped->samples[i], swapped->samples[i + 1]);
    }
    result.file.recording = std::move(swapped);
  }
  const LoadedCaptureFile& file = result.file.loaded;
  result.fmin = request.fminGiven ? request.fmin : file.fmin;
  result.fmax = request.fmaxGiven ? request.fmax : file.fmax;
  // given or from the title, the range keeps a measurement's limits (a title below 1.9 Hz
  // passes the load's rule)
  if (Result<void> range = CheckRange(result.fmin, result.fmax, RangeRule::kAnyWithinLimits);
      !range) {
    return Failure{range.Message()};
  }
  // a chart given is named as `analyze` lists it; else the microphone the file names
  std::string chartPath = request.chartPath;
  std::string chartName;
  if (!chartPath.empty()) {
    chartName = GivenChartName(chartPath);
  } else if (file.calibrationApplied) {
    const int chart = ctx.state.m_nSelectedChart.load();
    if (chart >= 0 && static_cast<size_t>(chart) < ctx.state.m_chartPaths.size() &&
        static_cast<size_t>(chart) < ctx.state.m_chartNames.size()) {
      chartPath = ctx.state.m_chartPaths[static_cast<size_t>(chart)];
      chartName = ctx.state.m_chartNames[static_cast<size_t>(chart)];
    }
  }
  if (request.chartPath.empty() && file.calibrationApplied && result.file.chart) {
    // the chart the load has read, for this range: its file is not read again
    Result<ResolvedChart> chart = result.file.chart->ForRange(result.fmin, result.fmax);
    if (!chart) {
      ctx.messages.ShowMessage(chart.Message());
      return Failure{};
    }
    result.chart = std::move(*chart);
  } else if (!request.chartPath.empty() || file.calibrationApplied) {
    Result<ResolvedChart> chart = ResolveChart(chartPath, chartName, result.fmin, result.fmax);
    if (!chart) {
      ctx.messages.ShowMessage(chart.Message());
      return Failure{};
    }
    result.chart = std::move(*chart);
  }
  return result;
}

Result<LoadedResponseCapture> LoadCaptureForResponse(CQuorvelCore& core,
                                                     const CaptureResponseRequest& request) {
  return LoadCaptureForResponse(core.FileContext().Reading(), request);
}

std::optional<Measurement> MeasureLoadedCapture(IUserMessages& messages,
                                                const LoadedResponseCapture& loaded) {
  const Recording& recording = *loaded.file.recording;
  // the microphone's channel is replayed; a timing reference beside it is not heard
  const std::vector<int16_t> microphone =
      recording.channels == 1 ? std::vector<int16_t>() : recording.Channel(0);
  const std::span<const int16_t> heard =
      recording.channels == 1 ? std::span<const int16_t>(recording.samples) : microphone;
  const OfflineCurve curve = AnalyseRecording(heard, loaded.fmin, loaded.chart);
  // the recording is judged as a replay of it is
  ReplayVerdict verdict = JudgeReplay(curve.counters, static_cast<int>(curve.levels.size()), heard,
                                      loaded.fmin, loaded.fmax);
  if (!verdict.failure.empty()) {
    messages.ShowMessage(verdict.failure);
    return std::nullopt;
  }
  Measurement::Parts parts;
  parts.fmin = loaded.fmin;
  parts.fmax = loaded.fmax;
  parts.levels = curve.levels;
  parts.warnings.replayed = true;
  parts.warnings.replayTexts = std::move(verdict.warnings);
  parts.recording = loaded.file.recording;
  parts.chart = loaded.chart;
  parts.tags = loaded.file.tags;
  parts.caption = loaded.file.caption;
  parts.madeAt = std::chrono::system_clock::now();
  return Measurement(std::move(parts));
}

namespace {

// Above this the input and the output cannot share one clock [ppm].
constexpr double kLargestSharedClockDrift = 50.0;

}  // namespace

// A two-channel capture's response timed from its second channel, the loopback reference; the
// reference that shows no impulse response leaves the measurement timed from its own peak.
void TimeFromLoadedReference(const Recording& recording, CImpulseAnalysis* analysis,
                             std::vector<std::string>* warnings, CImpulseAnalysis* kept) {
  if (recording.channels != 2) return;
  const std::vector<int16_t> reference = recording.Channel(1);
  std::unique_ptr<CImpulseAnalysis> own;
  if (kept == nullptr) own = std::make_unique<CImpulseAnalysis>();
  CImpulseAnalysis& timing = kept != nullptr ? *kept : *own;
  // the reference is analysed as it was recorded: no gate, no correction
  timing.SetGate(0.0);
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

CaptureResponseResult AnalyzeCaptureResponse(IUserMessages& messages,
                                             const LoadedResponseCapture& loaded, double gateMs,
                                             CImpulseAnalysis* analysis,
                                             std::vector<std::string>* warnings,
                                             CImpulseAnalysis* timing,
                                             std::vector<double>* liveLevels) {
  const std::optional<Measurement> measurement = MeasureLoadedCapture(messages, loaded);
  if (!measurement) return CaptureResponseResult::kRecordingRefused;
  *warnings = measurement->Warnings().Texts();
  if (liveLevels != nullptr)
    liveLevels->assign(measurement->Levels().begin(), measurement->Levels().end());
  switch (AnalyseMeasurementResponse(*measurement, gateMs, analysis)) {
    case ResponseStatus::kOk:
      TimeFromLoadedReference(measurement->GetRecording(), analysis, warnings, timing);
      return CaptureResponseResult::kOk;
    case ResponseStatus::kRangeRefused:
      // within a measurement's limits the signal always holds the whole sweep
      return CaptureResponseResult::kRangeRefused;
    case ResponseStatus::kNoImpulse:
      break;
  }
  messages.ShowMessage(kMsgNoImpulse);
  return CaptureResponseResult::kNoImpulse;
}

CaptureResponseResult AnalyzeCaptureResponse(CQuorvelCore& core,
                                             const LoadedResponseCapture& loaded, double gateMs,
                                             CImpulseAnalysis* analysis,
                                             std::vector<std::string>* warnings) {
  return AnalyzeCaptureResponse(core.Messages(), loaded, gateMs, analysis, warnings);
}

}  // namespace quorvel

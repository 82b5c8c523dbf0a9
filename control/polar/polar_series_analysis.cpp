// An off-axis series read from its captures.
#include "control/polar/polar_series_analysis.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <system_error>

#include "base/number_text.h"
#include "control/response/capture_response.h"
#include "measurement/trace.h"
#include "response/impulse_analysis.h"
#include "response/response_export.h"

namespace quorvel {

Result<std::vector<SeriesCapture>> SeriesCapturesInFolder(const std::string& folder, size_t most) {
  std::error_code code;
  std::vector<std::string> paths;
  for (const auto& entry : std::filesystem::directory_iterator(folder, code)) {
    if (paths.size() > most) break;
    paths.push_back(entry.path().string());
  }
  if (code) return Failure{folder + ": " + code.message()};
  std::sort(paths.begin(), paths.end());
  std::vector<SeriesCapture> captures;
  for (const std::string& path : paths) {
    const auto name = ParsePolarName(std::filesystem::path(path).filename().string());
    if (name) captures.push_back({path, *name});
  }
  return captures;
}

size_t ReferenceCapture(const std::vector<SeriesCapture>& captures) {
  size_t found = captures.size();
  for (size_t i = 0; i < captures.size(); ++i) {
    if (captures[i].name.angleDeg != 0) continue;
    if (found == captures.size() || captures[i].name.plane == PolarPlane::kHorizontal) found = i;
  }
  return found;
}

Result<AnalysedPolarSeries> AnalysePolarCaptures(CQuorvelCore& core,
                                                 std::vector<SeriesCapture> captures, double gateMs,
                                                 int bands, const PolarAnalysed& analysed) {
  const size_t reference = ReferenceCapture(captures);
  if (reference == captures.size()) return Failure{"the series has no 0 degree capture"};
  // the reference first: its peak is every gate's origin
  std::swap(captures[0], captures[reference]);
  CImpulseAnalysis analysis;
  AnalysedPolarSeries read;
  PolarSeries& series = read.series;
  std::vector<std::string>& warnings = read.warnings;
  series.series = captures.front().name.series;
  series.gateMs = gateMs;
  series.referenceName = PolarFileName(captures.front().name, ".wav");
  PolarReference axis;
  // the 0 degree capture's delay after its loopback reference [samples]; NaN without one
  double axisDelay = NAN;
  for (const SeriesCapture& capture : captures) {
    CaptureResponseRequest request;
    request.path = capture.path;
    const Result<LoadedResponseCapture> loaded = LoadCaptureForResponse(core, request);
    const std::string& why = loaded.Message();
    std::vector<std::string> captureWarnings;
    if (!loaded || AnalyzeCaptureResponse(core, *loaded, 0.0, &analysis, &captureWarnings) !=
                       CaptureResponseResult::kOk) {
      return Failure{(why.empty() ? std::string() : why + "\n") + capture.path +
                     " could not be analysed"};
    }
    for (const std::string& warning : captureWarnings) {
      warnings.push_back(capture.path + ": " + warning);
    }
    if (series.frequenciesHz.empty()) {
      series.fmin = analysis.Fmin();
      series.fmax = analysis.Fmax();
      series.frequenciesHz = FrdFrequencies(series.fmin, series.fmax);
      axis = MakePolarReference(analysis);
      if (analysis.GetTimeReference().loopback)
        axisDelay = analysis.GetTimeReference().delaySamples;
    } else if (analysis.Fmin() != series.fmin || analysis.Fmax() != series.fmax) {
      return Failure{capture.path + " was measured over " + FormatFixed(analysis.Fmin(), 2) + "-" +
                     FormatFixed(analysis.Fmax(), 2) + " Hz, the 0 degree capture over " +
                     FormatFixed(series.fmin, 2) + "-" + FormatFixed(series.fmax, 2) +
                     " Hz: a series shares one range"};
    }
    // the gate's origin in this recording: where the 0 degree capture's direct sound lies after
    // this capture's reference, or its impulse response lined up to this one
    const ResponseTiming& timing = analysis.GetTimeReference();
    const bool loopback = timing.loopback && std::isfinite(axisDelay);
    const double origin =
        loopback ? timing.position + axisDelay : AlignedReferencePeak(axis, analysis);
    PolarResponse response =
        CommonGateResponse(analysis, capture.name, origin, gateMs, series.frequenciesHz);
    response.loopback = loopback;
    const double lag = response.peakAfterReferenceMs;
    if (lag < -CImpulseAnalysis::kPreGateMs || lag > gateMs / 2.0) {
      warnings.push_back(capture.path + ": its direct sound lies " + FormatFixed(lag, 3) +
                         " ms from the 0 degree capture's, outside the gate's full weight");
    }
    if (analysed) analysed(response);
    series.responses.push_back(std::move(response));
  }
  std::sort(series.responses.begin(), series.responses.end(),
            [](const PolarResponse& a, const PolarResponse& b) {
              return a.name.plane != b.name.plane ? a.name.plane < b.name.plane
                                                  : a.name.angleDeg < b.name.angleDeg;
            });
  SmoothPolarSeries(&series, bands);
  return read;
}

}  // namespace quorvel

// Off-axis series: their names, one gate on one time axis for all, and their FRD texts.
#include "measurement/polar_series.h"

#include <charconv>
#include <cmath>
#include <complex>
#include <numbers>

#include "base/number_text.h"
#include "measurement/impulse_alignment.h"
#include "measurement/octave_smoothing.h"
#include "measurement/trace.h"
#include "measurement/trace_smoothing.h"
#include "response/gate_validity.h"
#include "response/impulse_analysis.h"
#include "response/impulse_response.h"

namespace quorvel {

namespace {

constexpr double kRiseMs = 0.5;  // the gate's rise, as the analysis's gate rises

bool EndsWithWav(std::string_view name) {
  if (name.size() < 4) return false;
  std::string tail(name.substr(name.size() - 4));
  for (char& c : tail) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return tail == ".wav";
}

// The gate's weight at t ms after the reference.
double GateWeight(double t, double gateMs) {
  const double start = -CImpulseAnalysis::kPreGateMs;
  if (t < start || t > gateMs) return 0.0;
  if (t < start + kRiseMs) return 0.5 - 0.5 * std::cos(std::numbers::pi * (t - start) / kRiseMs);
  const double fall = gateMs / 2.0;
  if (t > fall) return 0.5 + 0.5 * std::cos(std::numbers::pi * (t - fall) / (gateMs - fall));
  return 1.0;
}

}  // namespace

const char* PlaneWord(PolarPlane plane) {
  return plane == PolarPlane::kHorizontal ? "hor" : "ver";
}

std::optional<PolarName> ParsePolarName(std::string_view fileName) {
  if (!EndsWithWav(fileName)) return std::nullopt;
  std::string_view stem = fileName.substr(0, fileName.size() - 4);
  const size_t space = stem.rfind(' ');
  if (space == std::string_view::npos || space < 5) return std::nullopt;
  std::string_view angle = stem.substr(space + 1);
  const std::string_view plane = stem.substr(space - 3, 3);
  if (stem[space - 4] != ' ' || (plane != "hor" && plane != "ver")) return std::nullopt;
  if (!angle.empty() && angle.front() == '+') angle.remove_prefix(1);
  if (angle.size() > 2 && angle.substr(angle.size() - 2) == ".0") {
    angle.remove_suffix(2);
  }
  int degrees = 0;
  const auto [end, error] = std::from_chars(angle.data(), angle.data() + angle.size(), degrees);
  if (error != std::errc() || end != angle.data() + angle.size() || degrees < -180 ||
      degrees > 180) {
    return std::nullopt;
  }
  PolarName name;
  name.series = std::string(stem.substr(0, space - 4));
  name.plane = plane == "hor" ? PolarPlane::kHorizontal : PolarPlane::kVertical;
  name.angleDeg = degrees;
  return name;
}

std::string PolarFileName(const PolarName& name, std::string_view extension) {
  return name.series + " " + PlaneWord(name.plane) + " " + std::to_string(name.angleDeg) +
         std::string(extension);
}

PolarResponse CommonGateResponse(const CImpulseAnalysis& analysis, const PolarName& name,
                                 double referencePeak, double gateMs,
                                 const std::vector<double>& frequenciesHz) {
  PolarResponse out;
  out.name = name;
  const double rate = CImpulseAnalysis::kRate;
  // the reference's place after this capture's own time reference [samples]
  const double shift = referencePeak - analysis.PeakPosition();
  out.peakAfterReferenceMs = -shift * 1000.0 / rate;
  const double reach = std::fabs(shift) * 1000.0 / rate;
  ImpulseResponse response =
      LinearImpulse(analysis, CImpulseAnalysis::kPreGateMs + reach + 1.0, gateMs + reach + 1.0);
  if (response.samples.empty()) return out;
  // the time reference moved onto the reference's peak, and the gate laid round it
  const double at = static_cast<double>(response.peakIndex) + response.peakFraction + shift;
  response.peakIndex = std::lround(at);
  response.peakFraction = at - static_cast<double>(response.peakIndex);
  for (size_t n = 0; n < response.samples.size(); ++n) {
    response.samples[n] *= GateWeight(response.TimeMs(static_cast<long>(n)), gateMs);
  }
  const CImpulseSpectrum spectrum(response);
  for (const double f : frequenciesHz) {
    const std::complex<double> h = spectrum.At(f);
    out.levelsDb.push_back(20.0 * std::log10(std::abs(h)) - analysis.CorrectionDb(f));
    out.phasesDeg.push_back(WrapPhaseDeg(std::arg(h) * 180.0 / std::numbers::pi));
  }
  return out;
}

PolarReference MakePolarReference(const CImpulseAnalysis& analysis) {
  PolarReference reference;
  reference.window = analysis.LinearSamples(
      TraceTiming::kImpulseFirst, TraceTiming::kImpulseLast - TraceTiming::kImpulseFirst + 1);
  reference.fraction = analysis.PeakFraction();
  return reference;
}

double AlignedReferencePeak(const PolarReference& reference, const CImpulseAnalysis& analysis) {
  const std::vector<double> own = analysis.LinearSamples(
      TraceTiming::kImpulseFirst, TraceTiming::kImpulseLast - TraceTiming::kImpulseFirst + 1);
  const double delay = ImpulseDelaySamples(reference.window, own);
  // this capture's peak sample, then the reference's time reference lined up to it
  return analysis.PeakPosition() - analysis.PeakFraction() + reference.fraction + delay;
}

void SmoothPolarSeries(PolarSeries* series, int bands) {
  series->smoothingBands = bands;
  if (bands <= 0) return;
  for (PolarResponse& response : series->responses) {
    if (response.levelsDb.size() != series->frequenciesHz.size()) continue;
    response.levelsDb = SmoothFractionalOctaveDb(series->frequenciesHz, response.levelsDb, bands,
                                                 series->frequenciesHz);
  }
}

double PolarLevelDb(const PolarSeries& series, size_t index, double frequencyHz, bool normalized) {
  const PolarResponse& response = series.responses[index];
  if (response.levelsDb.size() != series.frequenciesHz.size() || response.levelsDb.empty()) {
    return NAN;
  }
  const double level =
      InterpolateLogFrequencyDb(series.frequenciesHz, response.levelsDb, frequencyHz);
  if (!normalized) return level;
  for (size_t i = 0; i < series.responses.size(); ++i) {
    const PolarResponse& axis = series.responses[i];
    if (axis.name.plane == response.name.plane && axis.name.angleDeg == 0 &&
        axis.levelsDb.size() == series.frequenciesHz.size()) {
      return level - InterpolateLogFrequencyDb(series.frequenciesHz, axis.levelsDb, frequencyHz);
    }
  }
  return NAN;
}

std::string FormatPolarFrd(const PolarSeries& series, size_t index) {
  const PolarResponse& response = series.responses[index];
  std::string text = "* Quorvel off-axis response: " + PolarFileName(response.name, "") + "\n";
  text += "* Range: " + FormatFixed(series.fmin, 2) + "-" + FormatFixed(series.fmax, 2) + " Hz\n";
  text +=
      "* Gate: " + FormatFixed(series.gateMs, 2) + " ms after the 0 degree capture's peak and " +
      FormatFixed(CImpulseAnalysis::kPreGateMs, 2) + " ms before it, the same for every angle\n";
  text += GateValidityComment(series.gateMs);
  text += "* Time reference: the impulse response's peak of " + series.referenceName +
          (response.loopback
               ? " on the loopback timing reference, for every angle (each capture is timed from"
                 " the reference channel of its own recording: the devices' latencies drop out,"
                 " the angles' own delays stay)"
               : ", for every angle (the captures hold no timing reference: each is lined up to"
                 " it by the cross-correlation of the impulse responses)") +
          "; the set's phases share one time axis. This capture's own peak lies " +
          FormatFixed(response.peakAfterReferenceMs + 0.0, 3) + " ms after it\n";
  text += "* Smoothing: " + SmoothingName(series.smoothingBands) + " (levels; phase unsmoothed)\n";
  text += "* Level: dB of the transfer from the played samples to the recorded samples\n";
  text += "* frequency_hz level_db phase_deg\n";
  for (size_t k = 0; k < series.frequenciesHz.size() && k < response.levelsDb.size(); ++k) {
    const double phase = std::round(response.phasesDeg[k] * 100.0) / 100.0 + 0.0;
    text += FormatFixed(series.frequenciesHz[k], 4) + " " + FormatFixed(response.levelsDb[k], 3) +
            " " + FormatFixed(phase, 2) + "\n";
  }
  return text;
}

}  // namespace quorvel

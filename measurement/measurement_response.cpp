#include "measurement/measurement_response.h"

#include <cstdint>
#include <span>
#include <vector>

#include "response/reference_timing.h"

namespace quorvel {

ResponseStatus AnalyseMeasurementResponse(const Measurement& measurement, double gateMs,
                                          CImpulseAnalysis* analysis) {
  analysis->SetGate(gateMs);
  if (measurement.Chart()) {
    analysis->SetCorrection(measurement.Chart()->ResponseCorrection(), measurement.ChartName());
  } else {
    analysis->SetCorrection({}, std::string());
  }
  const Recording& recording = measurement.GetRecording();
  // the measurement channel: channel 1 of a recording with a timing reference
  std::vector<int16_t> microphone;
  std::span<const int16_t> samples = recording.samples;
  if (recording.channels != 1) {
    microphone = recording.Channel(0);
    samples = microphone;
  }
  const ResponseStatus status =
      analysis->Analyze(samples.data(), samples.size(), measurement.Fmin(), measurement.Fmax());
  // A live measurement knows where the played signal began; a loopback reference, timed
  // afterwards, takes the place of this.
  if (status == ResponseStatus::kOk && measurement.PlayedStart()) {
    analysis->SetTimeReference(
        TimeFromPlayedSignal(*analysis, static_cast<double>(*measurement.PlayedStart())));
  }
  return status;
}

}  // namespace quorvel

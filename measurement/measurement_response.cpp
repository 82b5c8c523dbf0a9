#include "measurement/measurement_response.h"

#include <cstddef>
#include <cstdint>
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
  const std::vector<int16_t> microphone =
      recording.channels == 1 ? std::vector<int16_t>() : recording.Channel(0);
  const int16_t* samples = recording.channels == 1 ? recording.samples.data() : microphone.data();
  const std::size_t count = recording.channels == 1 ? recording.samples.size() : microphone.size();
  const ResponseStatus status =
      analysis->Analyze(samples, count, measurement.Fmin(), measurement.Fmax());
  // A live measurement knows where the played signal began; a loopback reference, timed
  // afterwards, takes the place of this.
  if (status == ResponseStatus::kOk && measurement.PlayedStart()) {
    analysis->SetTimeReference(
        TimeFromPlayedSignal(*analysis, static_cast<double>(*measurement.PlayedStart())));
  }
  return status;
}

}  // namespace quorvel

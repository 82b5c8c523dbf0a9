#include "measurement/measurement_response.h"

#include <cstdint>
#include <vector>

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
  if (recording.channels == 1) {
    return analysis->Analyze(recording.samples.data(), recording.samples.size(), measurement.Fmin(),
                             measurement.Fmax());
  }
  const std::vector<int16_t> microphone = recording.Channel(0);
  return analysis->Analyze(microphone.data(), microphone.size(), measurement.Fmin(),
                           measurement.Fmax());
}

}  // namespace quorvel

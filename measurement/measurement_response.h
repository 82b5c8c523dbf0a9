#pragma once

#include "measurement/measurement.h"
#include "response/impulse_analysis.h"

namespace quorvel {

// The impulse-response analysis of a measurement: its recording's microphone channel over its
// range, with the gate [ms] (CImpulseAnalysis::SetGate) and corrected by its chart, named in
// the FRD comment. Every front end's response of a measurement goes through here.
[[nodiscard]] ResponseStatus AnalyseMeasurementResponse(const Measurement& measurement,
                                                        double gateMs, CImpulseAnalysis* analysis);

}  // namespace quorvel

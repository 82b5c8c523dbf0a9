#pragma once

// The cumulative spectral decay (waterfall): the spectra of ever later parts of the impulse
// response, all ending at the same time, so that what rings on after the direct sound shows as
// ridges that fade slowly.
//
//   DecaySpectrum csd = CumulativeDecay(analysis);  // 31 slices from 0 to 10 ms after the peak
//   std::string csv = FormatDecayCsv(csd);
#include <string>
#include <vector>

#include "response/impulse_response.h"

namespace quorvel {

class CImpulseAnalysis;

// Options beyond these limits give an empty result: 2 .. 1000 slices, spanMs + tailMs and
// riseMs up to 1 s, at most kMaxViewCells levels.
struct DecayOptions {
  double spanMs = 10.0;  // the slices start from 0 to spanMs after the peak
  int slices = 31;
  // Each slice rises with a half-Hann ramp over the riseMs before its start and keeps the
  // response from its start to the common end, spanMs + tailMs after the peak, which it reaches
  // with a half-Hann fall over its last fallMs.
  double riseMs = 0.5;
  double tailMs = 10.0;
  double fallMs = 1.0;
};

struct DecaySpectrum {
  // the FRD's frequencies of the band, up to a sixth of an octave below its top (where the
  // sweep's band limit rings)
  std::vector<double> frequencyHz;
  std::vector<double> startMs;  // each slice's start after the peak
  // levelDb[slice][frequency], dB re the first slice's largest level
  std::vector<std::vector<double>> levelDb;
};

[[nodiscard]] DecaySpectrum CumulativeDecay(const ImpulseResponse& response,
                                            const DecayOptions& options = {});
// The ungated linear response of an analysis (the slices are windows of their own).
[[nodiscard]] DecaySpectrum CumulativeDecay(const CImpulseAnalysis& analysis,
                                            const DecayOptions& options = {});

// The long form: the header line "time_ms,frequency_hz,level_db", then one line per slice and
// frequency (slice by slice, each from the lowest frequency up).
[[nodiscard]] std::string FormatDecayCsv(const DecaySpectrum& decay);

}  // namespace quorvel

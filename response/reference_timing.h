#pragma once
// The timing of a measurement from a loopback reference recorded beside it: both channels
// deconvolved by the played sweep, the reference's impulse response marks the moment the sound
// left the output, and the measurement's follows it by the acoustic delay.
#include <string>

#include "response/impulse_analysis.h"

namespace quorvel {

// Where an analysed impulse response peaks [samples into the recording], between samples by
// band-limited (windowed sinc) interpolation of its linear response round the peak sample: far
// finer than a parabola, as the phase at 10 kHz needs. NaN without a result.
[[nodiscard]] double InterpolatedPeak(const CImpulseAnalysis& analysis);

// The measurement timed from the reference (both analysed over the same range from the two
// channels of one recording): the reference's peak, the delay to the measurement's peak, and the
// drift between the input's and the output's clocks, from how the reference's delay grows over
// the sweep (positive when the input runs fast). Not loopback when either has no result.
[[nodiscard]] ResponseTiming TimeFromReference(const CImpulseAnalysis& measurement,
                                               const CImpulseAnalysis& reference);

// The measurement timed from the played signal, whose first sample lies playedStart samples
// into the recording: the delay from the played lead-in to the measurement's peak, which holds
// the devices' latency. Not loopback; no delay without a result.
[[nodiscard]] ResponseTiming TimeFromPlayedSignal(const CImpulseAnalysis& measurement,
                                                  double playedStart);

// The played-signal delay in words, as the window's summary and quorvel-cli measure give it:
// "3.511 ms (168.54 samples) after the played sweep, a time that includes the devices' latency".
[[nodiscard]] std::string PlayedDelayWords(double delaySamples);

}  // namespace quorvel

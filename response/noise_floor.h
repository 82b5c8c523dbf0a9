#pragma once

// The noise floor of a recording on the distortion table's scale: what the linear response's
// window reads where the deconvolution holds no response at all, only the recording's noise
// (and whatever else the recording holds that is not the played signal).
//
//   std::vector<DistortionRow> rows = analysis.DistortionRows();
//   std::vector<double> noise = DistortionNoiseDb(analysis, rows);
//   std::string csv = FormatDistortionCsv(rows, noise);  // with the last column noise_db
#include <vector>

#include "response/impulse_analysis.h"

namespace quorvel {

// The noise floor [dB, the scale of DistortionRow's levels, the microphone correction
// subtracted] at each frequency [Hz]; NaN outside fmin..fmax, without a result, and where no
// window holds the recording's noise (an octave's sweep may leave a few such frequencies).
//
// Where it is read: the deconvolution is circular, the linear response sits at its peak and the
// harmonics' responses before it (wrapped round to the end). The stretch after the linear
// response's window (from 0.1 s past it) up to 0.1 s before the first harmonic's response met
// going on from there (harmonics 2 to 10, as far as the sweep's range holds them) holds only
// what the recording had besides the played signal's responses. Four windows of the linear
// response's own shape and length are laid there one after another (where the stretch is
// shorter, up to eight shorter ones of that shape, their power scaled to the linear window's
// length). Their power is averaged over 1/12 octave around each frequency and over the windows
// that hold the recording's noise at that frequency: each lag holds the recording of another
// time for each frequency, and the recording leaves a gap (the rest of the transform) that a
// window may meet. A response read through the linear window carries this noise; the
// harmonics' windows are shorter and carry up to a few dB less. Within about a third of an
// octave above fmin, where the sweep starts, the noise the division lifts there rings on for
// seconds: the floor reads higher there, as the levels there are less sure.
[[nodiscard]] std::vector<double> NoiseFloorDb(const CImpulseAnalysis& analysis,
                                               const std::vector<double>& frequencyHz);

// NoiseFloorDb at the rows' frequencies.
[[nodiscard]] std::vector<double> DistortionNoiseDb(const CImpulseAnalysis& analysis,
                                                    const std::vector<DistortionRow>& rows);

}  // namespace quorvel

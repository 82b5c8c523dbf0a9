#pragma once

#include <cstdint>

namespace quorvel {

class CAudio;

// Analyses a loaded recording as a replay does, but at full speed and without an output
// device: the point timing of a sweep from fmin [Hz] (the lower limit of the range the replay
// uses), ResetAnalysis, then every sample s goes to PushFrame as (s * 65535, s * 65535), the
// frame the play thread feeds the analysis while it plays the file, with m_filePlaying set for
// the duration. The curve points reach the engine's curve listener as they are found.
// Runs on the calling thread, which is the analysing thread for the duration.
void ReplayAtFullSpeed(CAudio& audio, const int16_t* samples, int count, double fmin);

}  // namespace quorvel

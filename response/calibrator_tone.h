#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace quorvel {

// Whether a recording holds one steady tone at the frequency a sound level calibrator is set
// to, and its level: what an SPL calibration trusts before it stores an offset. Any thread.

// Levels in dB of a 16-bit recording's full scale (32768), as RMS: a full-scale sine reads
// -3.01 dBFS RMS, while its block peak on the live curve reads 0 dB.
inline constexpr double kCalibratorMinAboveRestDb = 30.0;
inline constexpr double kCalibratorFrequencyTolerance = 0.05;  // of the frequency asked for

enum class CalibratorVerdict {
  kTone,            // one steady tone at the frequency asked for
  kSilence,         // nothing above the last bit
  kNoise,           // no tone stands out
  kWrongFrequency,  // a tone, at another frequency
  kTooLittleAbove,  // a tone there, less than 30 dB above the rest
  kNotSteady,       // a tone there whose level changes
};

struct CalibratorTone {
  CalibratorVerdict verdict = CalibratorVerdict::kSilence;
  double frequencyHz = 0.0;  // the strongest tone's frequency (0 for silence)
  double rmsDbfs = 0.0;      // the whole recording's RMS level [dBFS RMS]
  double aboveRestDb = 0.0;  // the tone's power over everything else's [dB]
  double swingDb = 0.0;      // the largest change of level between quarter seconds [dB]
  // What was heard when it is not the tone asked for, in words; empty for kTone.
  std::string message;
};

// Looks at samples (48000 Hz) for a tone at expectedHz: silence below -100 dBFS RMS; the
// strongest tone found through a Blackman-Harris window, within 5 % of expectedHz, at least
// 30 dB above the rest of the recording's power (DC left out), its level within 1 dB over every
// quarter second. Needs a second of samples at least (shorter reads as silence).
[[nodiscard]] CalibratorTone CheckCalibratorTone(std::span<const int16_t> samples,
                                                 double expectedHz);

}  // namespace quorvel

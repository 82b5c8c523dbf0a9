#pragma once

// The spectrogram of an impulse response: the level of a short Hann window slid along it, on a
// grid of times and log-spaced frequencies, for graph/ to draw as colours.
//
//   Spectrogram map = ImpulseSpectrogram(analysis);  // -5 .. 50 ms, 5 ms Hann window
#include <vector>

#include "response/impulse_response.h"

namespace quorvel {

class CImpulseAnalysis;

// Options beyond these limits give an empty map: a window up to 1 s, 1 .. 96 points per octave,
// window centres within kMaxViewMs of the peak, at most 20000 of them and kMaxViewCells levels.
struct SpectrogramOptions {
  double fromMs = -5.0;  // the first and last window centres after the peak
  double toMs = 50.0;
  double stepMs = 0.25;
  // The window: Hann, windowMs long (its level is that of about the middle half of it; it
  // resolves about 2 / windowMs in frequency: 400 Hz for 5 ms).
  double windowMs = 5.0;
  int pointsPerOctave = 24;  // frequencies from the band's fmin up, and fmax
};

struct Spectrogram {
  std::vector<double> timeMs;       // window centres after the peak
  std::vector<double> frequencyHz;  // ascending
  // levelDb[time * frequencyHz.size() + frequency], dB re the largest, at least floorDb
  std::vector<double> levelDb;
  double windowMs = 0.0;
  double floorDb = -150.0;

  [[nodiscard]] double At(std::size_t time, std::size_t frequency) const {
    return levelDb[time * frequencyHz.size() + frequency];
  }
};

[[nodiscard]] Spectrogram ImpulseSpectrogram(const ImpulseResponse& response,
                                             const SpectrogramOptions& options = {});
// The ungated linear response of an analysis.
[[nodiscard]] Spectrogram ImpulseSpectrogram(const CImpulseAnalysis& analysis,
                                             const SpectrogramOptions& options = {});

}  // namespace quorvel

#include "measurement/trace_smoothing.h"

#include "measurement/octave_smoothing.h"

namespace quorvel {

Result<int> SmoothingBands(int bandsPerOctave) {
  if (bandsPerOctave < 0 || bandsPerOctave > kMaxSmoothingBands) {
    return Failure{"The smoothing is 1/N octave with N from 1 to " +
                   std::to_string(kMaxSmoothingBands) + ", or 0 for none"};
  }
  return bandsPerOctave;
}

std::string SmoothingName(int bandsPerOctave) {
  if (bandsPerOctave <= 0) return "no smoothing";
  return "1/" + std::to_string(bandsPerOctave) + " octave";
}

Trace Smoothed(const Trace& trace, int bandsPerOctave) {
  if (bandsPerOctave <= 0 || trace.frequenciesHz.size() < 2) return trace;
  Trace smoothed = trace;
  smoothed.levelsDb = SmoothFractionalOctaveDb(trace.frequenciesHz, trace.levelsDb, bandsPerOctave,
                                               trace.frequenciesHz);
  smoothed.smoothingBands = bandsPerOctave;
  return smoothed;
}

}  // namespace quorvel

#pragma once

#include <span>
#include <string>
#include <vector>

namespace quorvel {

// What the equaliser aims the smoothed trace at. Every target is a shape that the fit moves
// up or down to the smoothed trace's mean level over the match range (in dB, each fraction of
// an octave counting alike), so a flat target sits at that mean and only the shape of a house
// curve or a target file matters.
enum class EqTargetKind {
  kFlat,        // flat
  kHouseCurve,  // a bass rise below a corner and a treble tilt
  kPoints,      // a curve of frequency/level points, e.g. a target file
};

struct EqTargetPoint {
  double frequencyHz = 0.0;
  double levelDb = 0.0;
};

struct EqTarget {
  EqTargetKind kind = EqTargetKind::kFlat;
  // House curve: the bass rises by bassRiseDb below bassCornerHz in the shape of a cookbook
  // low shelf of that gain at that corner (Q 0.7071: half the rise at the corner, all of it an
  // octave or two below), and the whole curve tilts by tiltDbPerDecade (negative: falling
  // towards the treble).
  double bassRiseDb = 0.0;
  double bassCornerHz = 120.0;
  double tiltDbPerDecade = 0.0;
  // Points: the target file's "frequency level" lines, read by the caller with the
  // calibration chart reader's rules (the chart reader sits above this layer). Frequencies
  // increasing; the curve runs linearly in log frequency between them and is held at the end
  // points beyond them.
  std::vector<EqTargetPoint> points;
};

// Why the target cannot be used ("the bass corner must lie between 10 and 20000 Hz"), or empty.
[[nodiscard]] std::string CheckTarget(const EqTarget& target);

// The target's shape at each frequency, before it is moved to the trace's level. [dB]
[[nodiscard]] std::vector<double> TargetShapeDb(const EqTarget& target,
                                                std::span<const double> frequenciesHz);

}  // namespace quorvel

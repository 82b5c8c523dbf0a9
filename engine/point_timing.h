#pragma once

namespace quorvel {

// When the analysis takes each curve point.
//
// The signal holds, from the burst's onset on: the burst and half a second of silence (48000
// samples), the lead-in of N samples (one period of fmin) and the sweep, which passes the
// frequency of point k 960 k samples after its start. The detector finds the burst about 18
// samples into it, and the block that holds that sample (the sync block) ends 0..959 samples
// later, 480 on average. Point k is the 960-sample block that ends (48 + D + k) blocks after the
// end of the sync block: 48 settling blocks, then D more, so that the block's centre lies on the
// instant the sweep passes the point's frequency:
//   18 + 480 + (48 + D) x 960 - 480 = 48000 + N   gives   D = (1902 + N) / 960,
// rounded to the nearest block: D = (2382 + N) / 960 in integer division (4 at fmin 20 Hz, 2 at
// 100 Hz, 27 at 2 Hz). Whole blocks leave the centre up to half a block from that instant on
// average (((2382 + N) mod 960) - 480 samples early: 462 at 20 and 100 Hz, 18 late at 2 Hz), and
// where the detection falls in its block moves it by up to half a block more either way.

// Blocks after the sync block whose levels are always dropped.
inline constexpr int kSettlingBlocks = 48;
// Points of a whole curve: blocks 49 + D .. 1049 + D.
inline constexpr int kPointsPerCurve = 1001;
// Whether a replay's curve of `points` points is whole when its samples run out. A saved
// recording ends with the block that completed the live curve, while a replay's blocks start at
// the file's first sample, so its last block can need a few hundred samples more than the file
// holds: the samples then run out after the last point but before the block that reports the
// curve complete. The curve is whole all the same.
[[nodiscard]] constexpr bool CurveWholeAtSamplesEnd(int points) {
  return points >= kPointsPerCurve;
}

// Samples of the signal before the lead-in: silence, burst, silence.
inline constexpr int kSamplesBeforeLeadIn = 72000;
// The signal buffer's capacity [samples]; a lead-in is cut where it would pass its end.
inline constexpr int kSignalCapacity = 1280000;

// The lead-in GenerateSweep writes for fmin [Hz]: 48000 / fmin samples, truncated, cut at the
// end of the signal buffer; 0 when it writes none (fmin not a positive number, or above
// 48000 Hz).
[[nodiscard]] constexpr int SweepLeadInSamples(double fmin) {
  if (!(fmin > 0.0)) return 0;  // also a value that is not a number
  const double period = 48000.0 / fmin;
  constexpr int kRoom = kSignalCapacity - kSamplesBeforeLeadIn;
  return period >= kRoom ? kRoom : static_cast<int>(period);
}

// D: the blocks skipped after the settling blocks for a sweep whose lead-in is leadIn samples.
[[nodiscard]] constexpr int PointDelayBlocksForLeadIn(int leadIn) {
  return (2382 + leadIn) / 960;
}

// D for a sweep (or the replay of one) from fmin [Hz].
[[nodiscard]] constexpr int PointDelayBlocks(double fmin) {
  return PointDelayBlocksForLeadIn(SweepLeadInSamples(fmin));
}

}  // namespace quorvel

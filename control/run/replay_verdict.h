#pragma once

// What a replayed recording's curve is worth: the rule quorvel-cli analyze and response and the
// window's replay apply once the analysis has run through a recording. A curve stands only where
// the recording holds the sync burst, at least one point, no gap of silence in its sweep, and
// the sweep of the range it is analysed over at the points' own frequencies; a curve that stands
// may carry warnings (points missing at its end, a recording that reached full scale).
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace quorvel {

class CAudio;
class CGraphical;
struct AnalysisCounters;

// Why a replayed recording gives no curve.
constexpr char kMsgRecordingNoSync[] =
    "The recording holds no sync burst: no response curve can be measured from it";
constexpr char kMsgRecordingHoldsNoPoint[] =
    "The recording ends before the first point of the response curve";
constexpr char kMsgRecordingGap[] =
    "The recording has a gap of silence in its sweep: no response curve can be measured from it";
constexpr char kMsgRecordingNoSweep[] = "The recording holds no sweep after its sync burst";
// with the range as a title tag writes it ("2000.00-20000.00 Hz")
constexpr char kMsgRecordingOtherRange[] = "The recording's sweep does not match the range %s";

struct ReplayVerdict {
  std::string failure;                // empty: the curve stands
  std::vector<std::string> warnings;  // of a curve that stands, in the order to show them
};

// The verdict on a replay of `recording` (its samples from the first one the analysis took)
// over fmin..fmax, from the analysis' counters after it and the points the curve took. Allocates;
// a few milliseconds.
[[nodiscard]] ReplayVerdict JudgeReplay(const AnalysisCounters& counters, int points,
                                        std::span<const int16_t> recording, double fmin,
                                        double fmax);

// JudgeReplay of the samples loaded into the engine, just replayed at full speed into graph's
// curve (AnalyzeLoadedSamples).
[[nodiscard]] ReplayVerdict JudgeLoadedReplay(const CAudio& audio, const CGraphical& graph,
                                              double fmin, double fmax);

}  // namespace quorvel

#include "control/run/replay_verdict.h"

#include "base/util.h"
#include "control/captures/capture_files.h"
#include "engine/audio_engine.h"
#include "engine/point_timing.h"
#include "graph/graphical.h"
#include "response/sweep_presence.h"

namespace quorvel {

ReplayVerdict JudgeReplay(const AnalysisCounters& counters, int points,
                          std::span<const int16_t> recording, double fmin, double fmax) {
  ReplayVerdict verdict;
  if (!counters.synced) {
    verdict.failure = kMsgRecordingNoSync;
  } else if (points <= 0) {
    verdict.failure = kMsgRecordingHoldsNoPoint;
  } else if (counters.silentPoints > 0) {
    // the rule of a live sweep: 64 zero frames in a row are samples lost, not silence heard
    verdict.failure = kMsgRecordingGap;
  } else {
    switch (FindSweep(recording, counters.syncFrames, points, fmin, fmax)) {
      case SweepPresence::kFound:
        break;
      case SweepPresence::kNone:
        verdict.failure = kMsgRecordingNoSweep;
        break;
      case SweepPresence::kOtherRange:
        verdict.failure =
            CUtil::FormatString(kMsgRecordingOtherRange, FormatRangeTitle(fmin, fmax).c_str());
        break;
    }
  }
  if (!verdict.failure.empty()) return verdict;
  // A recording that ends before the curve is whole (one saved before the points were timed on
  // their own frequencies ends a few blocks early) gives the points it holds, and no more.
  if (points < kPointsPerCurve) {
    verdict.warnings.push_back(
        CUtil::FormatString("the recording lacks %d of the %d points of a curve",
                            kPointsPerCurve - points, kPointsPerCurve));
  }
  if (counters.clippedPoints > 0) {
    verdict.warnings.push_back(CUtil::FormatString(
        "the recording reached full scale (%d of 1001 points): the input clipped when it was "
        "recorded",
        counters.clippedPoints));
  }
  return verdict;
}

ReplayVerdict JudgeLoadedReplay(const CAudio& audio, const CGraphical& graph, double fmin,
                                double fmax) {
  return JudgeReplay(audio.Counters(), graph.m_count.load(std::memory_order_acquire),
                     audio.Loaded(), fmin, fmax);
}

}  // namespace quorvel

#pragma once
// What the main window's graph draws behind its live curve: the list's shown measurements.
// User-interface thread.
#include <string>
#include <vector>

#include "graph/graphical.h"

namespace quorvel {

class CWorkbenchSession;

// The shown measurements of the list whose live curves the session holds (those it kept), in
// list order, each in its colour and moved by its level offset; a measurement opened from a
// session or added from a file is drawn with its capture's analysed live curve once the
// workbench has analysed it. Derived traces have no live curve to draw. The entry liveId is the
// graph's own curve and is left out.
[[nodiscard]] std::vector<CGraphical::Curve> ShownLiveTraces(const CWorkbenchSession& session,
                                                             const std::string& liveId);

// A shown measurement's live curve as the workbench's "Live curve" view draws it: its points
// at their frequencies, moved by the measurement's offset, an empty point a gap (NaN).
struct LiveViewCurve {
  std::string id;  // the measurement's in the list
  std::vector<double> frequenciesHz;
  std::vector<double> levelsDb;
};

// The shown measurements that have a live curve (see ShownLiveTraces), in list order.
[[nodiscard]] std::vector<LiveViewCurve> ShownLiveViewCurves(const CWorkbenchSession& session);

}  // namespace quorvel

#pragma once
// What the main window's graph draws behind its live curve: the list's shown measurements.
// User-interface thread.
#include <string>
#include <vector>

#include "graph/graphical.h"

namespace quorvel {

class CWorkbenchSession;

// The shown measurements of the list whose live curves the session holds (those it kept), in
// list order, each in its colour and moved by its level offset. Derived traces, and
// measurements opened or added from files, have no live curve to draw. The entry liveId is the
// graph's own curve and is left out.
[[nodiscard]] std::vector<CGraphical::TraceCurve> ShownLiveTraces(const CWorkbenchSession& session,
                                                                  const std::string& liveId);

}  // namespace quorvel

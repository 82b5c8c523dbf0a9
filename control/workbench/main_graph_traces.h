#pragma once
// What the main window's graph draws behind its live curve: the list's shown measurements.
// User-interface thread.
#include <vector>

#include "graph/graphical.h"

namespace quorvel {

class CWorkbenchSession;

// The shown measurements of the list whose live curves the session holds (those it kept), in
// list order, each in its colour and moved by its level offset. Derived traces, and
// measurements opened or added from files, have no live curve to draw.
[[nodiscard]] std::vector<CGraphical::TraceCurve> ShownLiveTraces(const CWorkbenchSession& session);

}  // namespace quorvel

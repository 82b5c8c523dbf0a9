#include "control/workbench/main_graph_traces.h"

#include "control/workbench/workbench_session.h"

namespace quorvel {

std::vector<CGraphical::TraceCurve> ShownLiveTraces(const CWorkbenchSession& session,
                                                    const std::string& liveId) {
  std::vector<CGraphical::TraceCurve> traces;
  for (const SessionEntry& entry : session.List().Document().entries) {
    const CWorkbenchSession::LiveCurve* live = session.LiveCurveOf(entry.id);
    if (!entry.look.shown || live == nullptr || entry.id == liveId) continue;
    CGraphical::TraceCurve trace;
    trace.fmin = live->fmin;
    trace.fmax = live->fmax;
    trace.levels = live->levels;
    // an empty point stays empty
    for (double& level : trace.levels) {
      if (level > CGraphical::kEmptyLevel) level += entry.look.offsetDb;
    }
    const TraceColour colour = entry.look.colour;
    trace.rgb = (uint32_t{colour.red} << 16) | (uint32_t{colour.green} << 8) | colour.blue;
    traces.push_back(std::move(trace));
  }
  return traces;
}

}  // namespace quorvel

#include "control/workbench/main_graph_traces.h"

#include <limits>

#include "base/point_frequency.h"
#include "control/workbench/workbench_session.h"
#include "graph/trace_palette.h"

namespace quorvel {

std::vector<CGraphical::Curve> ShownLiveTraces(const CWorkbenchSession& session,
                                               const std::string& liveId) {
  std::vector<CGraphical::Curve> traces;
  for (const SessionEntry& entry : session.List().Document().entries) {
    const LiveCurve* live = session.LiveCurveOf(entry);
    if (!entry.look.shown || live == nullptr || entry.id == liveId) continue;
    CGraphical::Curve trace;
    trace.fmin = live->fmin;
    trace.fmax = live->fmax;
    trace.levels = live->levels;
    // an empty point stays empty
    for (double& level : trace.levels) {
      if (level > CGraphical::kEmptyLevel) level += entry.look.offsetDb;
    }
    // no trace is drawn in a colour the live curve could be taken for
    const TraceRgb colour =
        MainGraphColour({entry.look.colour.red, entry.look.colour.green, entry.look.colour.blue});
    trace.rgb = (uint32_t{colour.red} << 16) | (uint32_t{colour.green} << 8) | colour.blue;
    traces.push_back(std::move(trace));
  }
  return traces;
}

std::vector<LiveViewCurve> ShownLiveViewCurves(const CWorkbenchSession& session) {
  std::vector<LiveViewCurve> curves;
  for (const SessionEntry& entry : session.List().Document().entries) {
    const LiveCurve* live = session.LiveCurveOf(entry);
    if (!entry.look.shown || live == nullptr) continue;
    LiveViewCurve curve;
    curve.id = entry.id;
    const int count = static_cast<int>(live->levels.size());
    curve.frequenciesHz.reserve(live->levels.size());
    curve.levelsDb.reserve(live->levels.size());
    for (int k = 0; k < count; ++k) {
      const double level = live->levels[static_cast<size_t>(k)];
      curve.frequenciesHz.push_back(PointFrequency(k, live->fmin, live->fmax));
      curve.levelsDb.push_back(level > CGraphical::kEmptyLevel
                                   ? level + entry.look.offsetDb
                                   : std::numeric_limits<double>::quiet_NaN());
    }
    curves.push_back(std::move(curve));
  }
  return curves;
}

}  // namespace quorvel

#pragma once
// The equaliser window's results in the workbench: its prediction joins the list as a derived
// trace whose recipe is its source and the filters themselves (as Equalizer APO's text), so the
// session rebuilds it on opening with nothing outside session.json; the measurement through the
// equaliser joins as any kept measurement does, named "NAME + EQ". User-interface thread.
#include <string>

#include "base/result.h"
#include "eq/eq_fit.h"

namespace quorvel {

class CWorkbenchSession;

// Where the window's trace stands in the workbench: a trace of the list by its id, or a capture
// file not in the list yet, which joins it with the first prediction.
struct EqWorkbenchSource {
  std::string id;
  std::string capturePath;
};

// "NAME + EQ predicted".
[[nodiscard]] std::string EqPredictionName(const std::string& name);

// The prediction of the source through `set` joins the session's list as an equalised trace
// named EqPredictionName(name) (a capture source is added first, and source->id set to it).
// *id is set once the trace is in the list, even when session.json could not be written then;
// the failure's reason is "<path>: <reason>".
[[nodiscard]] Result<void> AddEqPrediction(CWorkbenchSession& session, EqWorkbenchSource* source,
                                           const EqFilterSet& set, const std::string& name,
                                           std::string* id);

}  // namespace quorvel

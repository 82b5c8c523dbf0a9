#pragma once

// The traces of capture files for the commands that combine several (overlay, average): each
// capture loaded, judged and analysed as `response` analyses it, then made a trace named after
// its file.
#include <string>
#include <vector>

#include "control/settings/spl_calibration.h"
#include "measurement/trace.h"

namespace quorvel {

// Each capture's trace (levels as `response`'s FRD holds them, gated by gateMs; 0: none), in
// the order given, named by the file name without its extension, names met before made unique
// (UniqueTraceNames: "take", "take (2)"). The microphone a file names is looked up in the
// window's chart folder, as `response` looks it up.
// Returns kExitOk, kExitWarning (the traces made; a recording carries a warning, printed on
// stderr with its capture's path), kExitBadArguments (a title range outside a measurement's
// limits, after the reason and the usage) or kExitFailure (a capture that gives no trace, named
// on stderr after the load's or the analysis's own message). With an SPL scale the levels are
// in dB SPL (SplOfTransferLevel), named so in each trace. The captures are analysed as Add
// Captures analyses them, on two worker threads (AnalyseCapturesInOrder); every message and
// line comes in the files' order, and none of a capture after the one that stops it. Main
// thread.
[[nodiscard]] int LoadCaptureTraces(const std::vector<std::string>& paths, double gateMs,
                                    const char* usage, std::vector<Trace>* traces,
                                    const SplScale& scale = {});

}  // namespace quorvel

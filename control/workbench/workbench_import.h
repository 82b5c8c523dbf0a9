#pragma once
// "Add Captures...": the impulse-response analysis of capture files, each as quorvel-cli's
// `response` analyses it (no replay in real time), into the workbench's traces. A file that
// cannot be analysed is named and the others go on. Called on the main thread, no measurement
// running: the files are read there, one after another, and analysed on up to two worker
// threads of its own (each capture's analysis is independent of the others'), which are joined
// before it returns.
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "measurement/measurement.h"
#include "measurement/trace.h"

namespace quorvel {

class CQuorvelCore;
class IUserMessages;

// A measurement's live curve, as the main window's graph stores it: what the workbench's
// "Live curve" view and the main graph's traces draw.
struct LiveCurve {
  double fmin = 0.0;  // the range it was measured over [Hz]
  double fmax = 0.0;
  std::vector<double> levels;  // point k at PointFrequency(k, fmin, fmax) [dB], at most 1001
};

struct ImportedCapture {
  std::string path;
  bool ok = false;
  Trace trace;                        // when ok: named after the file, without its extension
  LiveCurve live;                     // when ok: the points a replay of the file gives
  std::string failure;                // when not: "<path>: <reason>", the reason in the words
                                      // Load Audio File would show (nothing is shown)
  std::vector<std::string> warnings;  // the replay's verdict on a recording it still takes
};

// Called on the calling thread before each file (done files so far, of total) and once at the
// end; returning false stops before the next file (the files done so far stay done; an analysis
// already begun is let finish and dropped).
using ImportProgress = std::function<bool(size_t done, size_t total)>;

// Analyses the files at the gate (0: none); the results and each file's messages (through the
// core's) come in the files' order. The core's engine is not touched.
[[nodiscard]] std::vector<ImportedCapture> AnalyseCaptures(CQuorvelCore& core,
                                                           const std::vector<std::string>& paths,
                                                           double gateMs,
                                                           const ImportProgress& progress);

// One capture of the list as a Measurement, read as AnalyseCaptures reads it (the main window's
// capture file, caption and curve left as they were), its messages through `messages`. None
// after the read's, the range's or the replay verdict's message.
[[nodiscard]] std::optional<Measurement> MeasureListCapture(CQuorvelCore& core,
                                                            IUserMessages& messages,
                                                            const std::string& path);

}  // namespace quorvel

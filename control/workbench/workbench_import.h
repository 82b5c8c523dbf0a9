#pragma once
// "Add Captures...": the impulse-response analysis of capture files, each as quorvel-cli's
// `response` analyses it (no replay in real time), into the workbench's traces. A file that
// cannot be analysed is named and the others go on. Main thread, no measurement running.
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "measurement/trace.h"

namespace quorvel {

class CQuorvelCore;

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

// Called before each file (done files so far, of total) and once at the end; returning false
// stops before the next file (the files done so far stay done).
using ImportProgress = std::function<bool(size_t done, size_t total)>;

// Analyses the files in order at the gate (0: none). The core's engine holds the last file's
// samples afterwards, as after Load Audio File.
[[nodiscard]] std::vector<ImportedCapture> AnalyseCaptures(CQuorvelCore& core,
                                                           const std::vector<std::string>& paths,
                                                           double gateMs,
                                                           const ImportProgress& progress);

}  // namespace quorvel

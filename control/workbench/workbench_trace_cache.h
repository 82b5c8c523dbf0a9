#pragma once
// The traces of a session's captures as last analysed, kept in the session folder so that
// opening a session reads them instead of analysing every capture again. A cached trace stands
// for its capture only while the capture file has the size and modification time it had when it
// was analysed, at the same gate and by the same analysis; anything else in the file (a damaged
// entry, a damaged or oversized file) is passed over and the capture is analysed again. The
// cache is a convenience: losing it loses nothing. User-interface thread.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "control/workbench/workbench_import.h"
#include "measurement/trace.h"

namespace quorvel {

// The cache's file in the session folder (hidden: it is no part of what the user keeps).
inline constexpr const char* kTraceCacheFileName = ".traces-cache.json";
// A cache larger than this is not read (a trace takes about 80 kB).
inline constexpr uint64_t kMaxTraceCacheBytes = 64u << 20;
// Raised whenever the analysis of a capture gives other numbers than before, or an entry holds
// more: older entries are then analysed again.
inline constexpr int kTraceAnalysisVersion = 3;

// What a capture file is on disk: a rewritten capture has another.
struct CaptureStamp {
  uint64_t sizeBytes = 0;
  int64_t modifiedNs = 0;  // modification time [ns since 1970]
  friend bool operator==(const CaptureStamp&, const CaptureStamp&) = default;
};

// The stamp of a regular file now; nothing when it cannot be looked at.
[[nodiscard]] std::optional<CaptureStamp> StampOf(const std::string& path);

struct CachedTrace {
  std::string capturePath;  // absolute, as the session's list holds it
  CaptureStamp stamp;
  double gateMs = 0.0;
  Trace trace;
  LiveCurve live;  // the points a replay of the capture gives
};

// The whole entries of the folder's cache made by this analysis version; nothing when there is
// no cache or it cannot be read.
[[nodiscard]] std::vector<CachedTrace> ReadTraceCache(const std::string& sessionFolder);

// Replaces the folder's cache by these entries, whole or not at all; false when it could not be
// written (the earlier cache stays).
[[nodiscard]] bool WriteTraceCache(const std::string& sessionFolder,
                                   const std::vector<CachedTrace>& entries);

}  // namespace quorvel

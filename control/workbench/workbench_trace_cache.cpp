#include "control/workbench/workbench_trace_cache.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <nlohmann/json.hpp>

#include "base/atomic_file.h"
#include "engine/point_timing.h"
#include "measurement/session_json.h"

namespace quorvel {

namespace {

using Json = nlohmann::json;

// The cache nests no deeper than this; a deeper file is damaged and not parsed.
constexpr int kMostDepth = 8;
constexpr size_t kMostImpulse = TraceTiming::kImpulseLast - TraceTiming::kImpulseFirst + 1;

std::string FilePath(const std::string& folder) {
  return folder + "/" + kTraceCacheFileName;
}

// The file's bytes, at most kMaxTraceCacheBytes of a regular file; nothing otherwise.
std::optional<std::string> ReadLimited(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return std::nullopt;
  struct stat info {};
  std::optional<std::string> text;
  if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) {
    text.emplace();
    char chunk[64 * 1024];
    for (;;) {
      const ssize_t count = ::read(fd, chunk, sizeof chunk);
      if (count < 0 && errno == EINTR) continue;
      if (count == 0) break;
      if (count < 0 || text->size() + static_cast<size_t>(count) > kMaxTraceCacheBytes) {
        text.reset();
        break;
      }
      text->append(chunk, static_cast<size_t>(count));
    }
  }
  ::close(fd);
  return text;
}

bool AllFinite(const std::vector<double>& values) {
  for (const double value : values) {
    if (!std::isfinite(value)) return false;
  }
  return true;
}

// Only what can be read back exactly is kept: JSON has no number for NaN or infinity.
bool Storable(const Trace& trace) {
  for (const std::complex<double>& value : trace.timing.transfer) {
    if (!std::isfinite(value.real()) || !std::isfinite(value.imag())) return false;
  }
  return AllFinite(trace.frequenciesHz) && AllFinite(trace.levelsDb) &&
         AllFinite(trace.phasesDeg) && AllFinite(trace.timing.impulse) &&
         std::isfinite(trace.timing.peakPosition) && std::isfinite(trace.timing.peakFraction) &&
         std::isfinite(trace.range.fminHz) && std::isfinite(trace.range.fmaxHz) &&
         std::isfinite(trace.offsetDb) && std::isfinite(trace.gateMs) &&
         (!trace.timeReference || std::isfinite(trace.timeReference->delayMs));
}

Json TraceJson(const Trace& trace) {
  Json transfer = Json::array();
  for (const std::complex<double>& value : trace.timing.transfer) {
    transfer.push_back(value.real());
    transfer.push_back(value.imag());
  }
  Json json = {{"name", trace.name},
               {"fmin", trace.range.fminHz},
               {"fmax", trace.range.fmaxHz},
               {"frequencies", trace.frequenciesHz},
               {"levels", trace.levelsDb},
               {"phases", trace.phasesDeg},
               {"phase", static_cast<int>(trace.phase)},
               {"smoothing", trace.smoothingBands},
               {"offset", trace.offsetDb},
               {"gate", trace.gateMs},
               {"correction", trace.correctionName},
               {"scale", trace.levelScale},
               {"transfer", std::move(transfer)},
               {"impulse", trace.timing.impulse},
               {"peakPosition", trace.timing.peakPosition},
               {"peakFraction", trace.timing.peakFraction}};
  if (trace.timeReference) {
    json["reference"] = {static_cast<int>(trace.timeReference->kind), trace.timeReference->delayMs};
  }
  return json;
}

// A measured trace back from its JSON; throws Json::exception on a field of the wrong type.
std::optional<Trace> TraceFrom(const Json& json) {
  Trace trace;
  trace.name = json.at("name").get<std::string>();
  trace.range = {json.at("fmin").get<double>(), json.at("fmax").get<double>()};
  trace.frequenciesHz = json.at("frequencies").get<std::vector<double>>();
  trace.levelsDb = json.at("levels").get<std::vector<double>>();
  trace.phasesDeg = json.at("phases").get<std::vector<double>>();
  const int phase = json.at("phase").get<int>();
  trace.smoothingBands = json.at("smoothing").get<int>();
  trace.offsetDb = json.at("offset").get<double>();
  trace.gateMs = json.at("gate").get<double>();
  trace.correctionName = json.at("correction").get<std::string>();
  trace.levelScale = json.at("scale").get<std::string>();
  const std::vector<double> transfer = json.at("transfer").get<std::vector<double>>();
  trace.timing.impulse = json.at("impulse").get<std::vector<double>>();
  trace.timing.peakPosition = json.at("peakPosition").get<double>();
  trace.timing.peakFraction = json.at("peakFraction").get<double>();
  if (json.contains("reference")) {
    const Json& reference = json.at("reference");
    const int kind = reference.at(0).get<int>();
    if (kind != static_cast<int>(TimeReferenceKind::kPlayedSignal) &&
        kind != static_cast<int>(TimeReferenceKind::kLoopback)) {
      return std::nullopt;
    }
    trace.timeReference =
        TimeReference{static_cast<TimeReferenceKind>(kind), reference.at(1).get<double>()};
  }
  const size_t count = trace.frequenciesHz.size();
  if (phase < static_cast<int>(PhaseKind::kNone) ||
      phase > static_cast<int>(PhaseKind::kMeasured) || count == 0 ||
      trace.levelsDb.size() != count || trace.phasesDeg.size() != (phase == 0 ? 0 : count) ||
      (!transfer.empty() && transfer.size() != 2 * count) ||
      trace.timing.impulse.size() > kMostImpulse) {
    return std::nullopt;
  }
  for (size_t i = 1; i < count; ++i) {
    if (!(trace.frequenciesHz[i] > trace.frequenciesHz[i - 1])) return std::nullopt;
  }
  trace.phase = static_cast<PhaseKind>(phase);
  trace.timing.transfer.reserve(transfer.size() / 2);
  for (size_t i = 0; i + 1 < transfer.size(); i += 2) {
    trace.timing.transfer.emplace_back(transfer[i], transfer[i + 1]);
  }
  return trace;
}

Json LiveJson(const LiveCurve& live) {
  return {{"fmin", live.fmin}, {"fmax", live.fmax}, {"levels", live.levels}};
}

// A live curve back from its JSON; throws Json::exception on a field of the wrong type.
std::optional<LiveCurve> LiveFrom(const Json& json) {
  LiveCurve live{json.at("fmin").get<double>(), json.at("fmax").get<double>(),
                 json.at("levels").get<std::vector<double>>()};
  if (!(live.fmin > 0 && live.fmin < live.fmax && std::isfinite(live.fmax)) ||
      live.levels.size() > static_cast<size_t>(kPointsPerCurve) || !AllFinite(live.levels)) {
    return std::nullopt;
  }
  return live;
}

}  // namespace

std::optional<CaptureStamp> StampOf(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return std::nullopt;
  return CaptureStamp{static_cast<uint64_t>(info.st_size),
                      static_cast<int64_t>(info.st_mtim.tv_sec) * 1'000'000'000 +
                          static_cast<int64_t>(info.st_mtim.tv_nsec)};
}

std::vector<CachedTrace> ReadTraceCache(const std::string& sessionFolder) {
  std::vector<CachedTrace> entries;
  const std::optional<std::string> text = ReadLimited(FilePath(sessionFolder));
  if (!text || NestsDeeperThan(*text, kMostDepth)) return entries;
  const Json json = Json::parse(*text, nullptr, false);
  if (!json.is_object() || !json.contains("version") || json["version"] != kTraceAnalysisVersion ||
      !json.contains("entries") || !json["entries"].is_array()) {
    return entries;
  }
  for (const Json& item : json["entries"]) {
    try {
      CachedTrace entry;
      entry.capturePath = item.at("capture").get<std::string>();
      entry.stamp = {item.at("size").get<uint64_t>(), item.at("modifiedNs").get<int64_t>()};
      entry.gateMs = item.at("gate").get<double>();
      std::optional<Trace> trace = TraceFrom(item.at("trace"));
      std::optional<LiveCurve> live = LiveFrom(item.at("live"));
      if (!trace || !live) continue;
      entry.trace = std::move(*trace);
      entry.live = std::move(*live);
      entries.push_back(std::move(entry));
    } catch (const Json::exception&) {
      // a damaged entry: its capture is analysed again
    }
  }
  return entries;
}

bool WriteTraceCache(const std::string& sessionFolder, const std::vector<CachedTrace>& entries) {
  Json list = Json::array();
  for (const CachedTrace& entry : entries) {
    if (!Storable(entry.trace) || !std::isfinite(entry.gateMs) || !AllFinite(entry.live.levels)) {
      continue;
    }
    list.push_back({{"capture", entry.capturePath},
                    {"size", entry.stamp.sizeBytes},
                    {"modifiedNs", entry.stamp.modifiedNs},
                    {"gate", entry.gateMs},
                    {"trace", TraceJson(entry.trace)},
                    {"live", LiveJson(entry.live)}});
  }
  const Json json = {{"version", kTraceAnalysisVersion}, {"entries", std::move(list)}};
  // a path that is no valid UTF-8 loses its odd bytes here: its capture is analysed again
  const std::string text = json.dump(-1, ' ', false, Json::error_handler_t::ignore);
  CAtomicFile file;
  return file.Open(FilePath(sessionFolder)) && file.Write(text.data(), text.size()) &&
         file.Commit();
}

}  // namespace quorvel

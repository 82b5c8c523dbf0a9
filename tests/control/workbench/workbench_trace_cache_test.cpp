// The trace cache of a session folder, on captures of the generated sweep: a reopened session
// takes its traces from the cache with the very numbers the analysis gave, and a capture
// rewritten since, or a damaged cache, is analysed again.
#include "control/workbench/workbench_trace_cache.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>

#include "control/workbench/workbench_traces.h"
#include "engine/audio_engine.h"
#include "files/wave_file.h"
#include "tests/control/control_test_support.h"
#include "tests/files/wave_builder.h"

namespace quorvel {
namespace {

// The 50..16000 Hz sweep divided by `divisor` as a capture file.
void WriteCapture(const std::string& path, int divisor) {
  auto audio = std::make_unique<CAudio>();
  const int length = audio->GenerateSweep(50.0, 16000.0);
  CWave wave;
  ASSERT_TRUE(wave.CreateCaptureFile(path.c_str()));
  for (int i = 0; i < length; ++i) {
    static_cast<void>(wave.WriteSample(static_cast<int16_t>(audio->Sweep()[i] / divisor)));
  }
  std::strcpy(wave.m_szTitle, "50.00-16000.00 Hz");
  std::strcpy(wave.m_szArtist, "Quorvel");
  ASSERT_TRUE(wave.CloseCaptureFile(true));
}

std::vector<Trace> Open(SimulatedCore& core, const std::string& folder,
                        const SessionDocument& document,
                        std::map<std::string, LiveCurve>* live = nullptr) {
  CWorkbenchTraces traces;
  traces.UseCacheIn(folder);
  EXPECT_TRUE(traces.Analyse(*core.core, document, 0.0, {}).empty());
  if (live != nullptr) *live = traces.LiveCurves();
  std::vector<Trace> raw;
  for (const WorkbenchTrace& trace : traces.Build(document)) raw.push_back(trace.raw);
  return raw;
}

TEST(WorkbenchTraceCache, ReopenedSessionReadsGoodEntriesAndAnalysesTheRest) {
  enum class Harm { kNone, kCaptureRewritten, kCacheDamaged };
  for (const Harm harm : {Harm::kNone, Harm::kCaptureRewritten, Harm::kCacheDamaged}) {
    wavetest::ScratchFolder dir;
    SessionDocument document;
    for (const char* name : {"a.wav", "b.wav"}) {
      SessionEntry entry;
      entry.id = name[0] == 'a' ? "m1" : "m2";
      entry.capturePath = dir.File(name);
      WriteCapture(entry.capturePath, 2);
      document.entries.push_back(entry);
    }
    SimulatedCore core;
    std::map<std::string, LiveCurve> freshLive, reopenedLive;
    const std::vector<Trace> fresh = Open(core, dir.Path(), document, &freshLive);
    ASSERT_EQ(fresh.size(), 2u);

    // the cache marked: a trace read from it shows 7 dB more at its first frequency
    std::vector<CachedTrace> cached = ReadTraceCache(dir.Path());
    ASSERT_EQ(cached.size(), 2u);
    for (CachedTrace& entry : cached) entry.trace.levelsDb[0] += 7.0;
    ASSERT_TRUE(WriteTraceCache(dir.Path(), cached));
    if (harm == Harm::kCaptureRewritten) {
      WriteCapture(document.entries[0].capturePath, 4);  // same size, 6 dB lower
      std::filesystem::last_write_time(
          document.entries[0].capturePath,
          std::filesystem::file_time_type::clock::now() + std::chrono::seconds(5));
    }
    if (harm == Harm::kCacheDamaged) {
      std::ofstream(dir.File(kTraceCacheFileName), std::ios::trunc) << "{\"version\":1,\"entr";
    }

    const std::vector<Trace> reopened = Open(core, dir.Path(), document, &reopenedLive);
    ASSERT_EQ(reopened.size(), 2u);
    // the live curves, read or analysed again, are the replay's 1001 points
    ASSERT_EQ(reopenedLive.size(), 2u);
    const LiveCurve& live = reopenedLive[document.entries[1].capturePath];
    EXPECT_EQ(live.levels, freshLive[document.entries[1].capturePath].levels);
    EXPECT_EQ(live.levels.size(), 1001u);
    EXPECT_EQ(live.fmin, 50.0);
    for (size_t i = 0; i < 2; ++i) {
      const bool fromCache = harm == Harm::kNone || (harm == Harm::kCaptureRewritten && i == 1);
      const bool rewritten = harm == Harm::kCaptureRewritten && i == 0;
      const Trace& was = fresh[i];
      const Trace& now = reopened[i];
      ASSERT_EQ(now.levelsDb.size(), was.levelsDb.size());
      EXPECT_NEAR(now.levelsDb[0],
                  was.levelsDb[0] + (fromCache ? 7.0 : 0.0) - (rewritten ? 6.02 : 0.0), 0.05)
          << static_cast<int>(harm) << " trace " << i;
      if (rewritten) continue;
      EXPECT_EQ(std::vector<double>(now.levelsDb.begin() + 1, now.levelsDb.end()),
                std::vector<double>(was.levelsDb.begin() + 1, was.levelsDb.end()));
      EXPECT_EQ(now.frequenciesHz, was.frequenciesHz);
      EXPECT_EQ(now.phasesDeg, was.phasesDeg);
      EXPECT_EQ(now.timing.transfer, was.timing.transfer);
      EXPECT_EQ(now.timing.impulse, was.timing.impulse);
      EXPECT_EQ(now.timing.peakPosition, was.timing.peakPosition);
      EXPECT_EQ(now.name, was.name);
    }
    // what was analysed again is in the cache again
    EXPECT_EQ(ReadTraceCache(dir.Path()).size(), 2u);
  }
}

}  // namespace
}  // namespace quorvel

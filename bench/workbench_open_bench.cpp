// Opening a workbench session of 50 captures of the simulated loudspeaker, as Open Session does
// it: session.json read and checked, then every capture analysed into its trace, and the list's
// traces built (offsets, no smoothing). The captures are written once, before the timing. A
// session opened again reads its trace cache; opened for the first time (or with its cache
// gone) it analyses every capture, on two worker threads: the counter process_cpu_ms holds the
// CPU time of the whole process (workers included) for one open, "CPU" only the calling thread's.
#include <benchmark/benchmark.h>
#include <time.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>

#include "audio/sim/simulated_services.h"
#include "base/memory_preferences.h"
#include "bench/cli_bench_support.h"
#include "control/quorvel_core.h"
#include "control/workbench/workbench_session.h"
#include "control/workbench/workbench_traces.h"
#include "tests/base/scripted_messages.h"

namespace {

namespace fs = std::filesystem;
constexpr int kCaptures = 50;

// [ms] the CPU time of every thread of the process so far
double ProcessCpuMs() {
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) * 1e-6;
}

// The session folder with its captures and session.json; empty when it could not be made.
std::string MakeSession(const fs::path& root) {
  const std::string folder = (root / "session").string();
  fs::create_directories(folder);
  quorvel::CWorkbenchList list(folder);
  for (int i = 0; i < kCaptures; ++i) {
    const std::string path = folder + "/take " + std::to_string(i) + ".wav";
    if (!quorvel::WriteSimulatedCapture(path, 1000 + 37 * i) ||
        !list.Add(path, "take " + std::to_string(i), 1765380000 + i).written) {
      return "";
    }
  }
  return folder;
}

void OpenSession(benchmark::State& state, bool cached) {
  const fs::path root = fs::temp_directory_path() /
                        ("quorvel_bench_open_" + std::to_string(getpid()) + (cached ? "c" : "f"));
  const std::string folder = MakeSession(root);
  if (folder.empty()) {
    state.SkipWithError("the captures could not be written");
    return;
  }
  quorvel::CMemoryPreferences preferences;
  quorvel::CScriptedMessages messages;
  quorvel::CQuorvelCore core(std::make_unique<quorvel::CSimulatedAudioServices>(), preferences,
                             messages);
  const auto open = [&] {
    quorvel::CWorkbenchSession session(root.string(), 1765390000);
    std::vector<std::string> problems;
    if (!session.Open(folder, &problems)) state.SkipWithError("the session did not open");
    quorvel::CWorkbenchTraces traces;
    if (cached) traces.UseCacheIn(folder);
    const auto failures = traces.Analyse(core, session.List().Document(), 0.0, {});
    if (!failures.empty()) state.SkipWithError(failures[0].c_str());
    return traces.Build(session.List().Document()).size();
  };
  if (cached) open();  // the first open writes the cache
  size_t shown = 0;
  const double cpuBefore = ProcessCpuMs();
  for (auto _ : state) {
    shown = open();
    benchmark::DoNotOptimize(shown);
  }
  state.counters["captures"] = static_cast<double>(shown);
  state.counters["process_cpu_ms"] =
      (ProcessCpuMs() - cpuBefore) / static_cast<double>(state.iterations());
  fs::remove_all(root);
}

void BM_OpenSessionOf50Captures(benchmark::State& state) {
  OpenSession(state, true);
}
BENCHMARK(BM_OpenSessionOf50Captures)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();

void BM_FirstOpenOf50Captures(benchmark::State& state) {
  OpenSession(state, false);
}
BENCHMARK(BM_FirstOpenOf50Captures)->Unit(benchmark::kMillisecond)->Iterations(2)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();

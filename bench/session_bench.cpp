// A session of 50 measurements on disk: opening its session.json (read, checked, every capture
// looked for) and writing it again, as the workbench does whenever its list changes. The
// captures' analysis on opening is not part of this: it is timed with the offline analysis.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "measurement/session_store.h"

namespace {

namespace fs = std::filesystem;

std::string Folder() {
  return (fs::temp_directory_path() / ("quorvel_bench_session_" + std::to_string(::getpid())))
      .string();
}

quorvel::SessionDocument FiftyEntries(const std::string& folder) {
  quorvel::SessionDocument document;
  for (int i = 1; i <= 50; ++i) {
    const std::string path =
        folder + "/Quorvel Capture 2026-12-10 15" + std::to_string(3000 + i) + ".wav";
    std::ofstream(path) << "RIFF";
    document.entries.push_back(
        {"m" + std::to_string(i),
         path,
         {"Position " + std::to_string(i), {}, true, "a note\nof two lines", 0.25 * i},
         1796916612 + 30 * i});
  }
  for (int i = 1; i <= 4; ++i) {
    document.derived.push_back({"d" + std::to_string(i),
                                quorvel::DerivedKind::kAverageVector,
                                true,
                                {"m1", "m2", "m3", "m4", "m5"},
                                {"average", {}, true, "", 0}});
  }
  return document;
}

void BM_OpenSessionOf50(benchmark::State& state) {
  const std::string folder = Folder();
  fs::create_directories(folder);
  if (const quorvel::Result<void> written = quorvel::WriteSession(folder, FiftyEntries(folder));
      !written) {
    state.SkipWithError(written.Message().c_str());
  }
  for (auto _ : state) {
    quorvel::OpenedSession opened = quorvel::OpenSession(folder);
    if (opened.document.entries.size() != 50 || !opened.problems.empty()) {
      state.SkipWithError("the session did not open whole");
    }
    benchmark::DoNotOptimize(opened);
  }
  fs::remove_all(folder);
}
BENCHMARK(BM_OpenSessionOf50)->Unit(benchmark::kMillisecond);

void BM_WriteSessionOf50(benchmark::State& state) {
  const std::string folder = Folder() + "_write";
  fs::create_directories(folder);
  const quorvel::SessionDocument document = FiftyEntries(folder);
  for (auto _ : state) {
    const quorvel::Result<void> written = quorvel::WriteSession(folder, document);
    if (!written) state.SkipWithError(written.Message().c_str());
  }
  fs::remove_all(folder);
}
BENCHMARK(BM_WriteSessionOf50)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();

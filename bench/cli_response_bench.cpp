// How long `quorvel-cli response` takes as a whole process with every output: start-up, the
// capture file's checks and load, the analysis of a 21.6 s recording of the built-in simulated
// loudspeaker, and the FRD, impulse-response WAV, distortion CSV and PNG written.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/cli_bench_support.h"

namespace quorvel {

namespace {

void BM_CliResponseEveryOutput(benchmark::State& state) {
  const std::filesystem::path dir = std::filesystem::temp_directory_path() /
                                    ("quorvel_response_bench_" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  const std::string capture = (dir / "capture.wav").string();
  if (!WriteSimulatedCapture(capture)) {
    state.SkipWithError("could not write the capture file");
    return;
  }
  const std::vector<std::string> args = {QUORVEL_CLI_PATH,
                                         "response",
                                         capture,
                                         "--gate",
                                         "5",
                                         "--frd",
                                         (dir / "r.frd").string(),
                                         "--ir",
                                         (dir / "ir.wav").string(),
                                         "--distortion",
                                         (dir / "h.csv").string(),
                                         "--png",
                                         (dir / "r.png").string()};
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  double cpu = 0.0;
  for (auto _ : state) {
    if (Run(args, &cpu) != 0) {
      state.SkipWithError("quorvel-cli response failed");
      break;
    }
  }
  state.counters["cpu_ms"] = benchmark::Counter(cpu * 1000.0, benchmark::Counter::kAvgIterations);
  std::filesystem::remove_all(dir);
}
BENCHMARK(BM_CliResponseEveryOutput)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

}  // namespace quorvel

BENCHMARK_MAIN();

// How long `quorvel-cli average` of 4 captures takes as a whole process, each way, with every
// output: start-up, each capture's checks, load, judgement and analysis (one analysis object
// for all), the average over the common range, and the FRD, CSV and PNG written.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/cli_bench_support.h"

namespace quorvel {

namespace {

void BM_CliAverageOfFourCaptures(benchmark::State& state) {
  static const char* const kModes[] = {"db", "power", "vector"};
  const std::filesystem::path dir = std::filesystem::temp_directory_path() /
                                    ("quorvel_average_bench_" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  std::vector<std::string> args = {QUORVEL_CLI_PATH, "average"};
  for (long take = 0; take < 4; ++take) {
    // the takes start at different places in their recordings, as repeated takes do
    const std::string capture = (dir / ("take" + std::to_string(take) + ".wav")).string();
    if (!WriteSimulatedCapture(capture, 1000 + 37 * take)) {
      state.SkipWithError("could not write the capture files");
      return;
    }
    args.push_back(capture);
  }
  for (const char* option : {"--frd", "--csv", "--png"}) {
    args.push_back(option);
    args.push_back((dir / (std::string("mean.") + (option + 2))).string());
  }
  args.push_back("--mode");
  args.push_back(kModes[state.range(0)]);
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  double cpu = 0.0;
  for (auto _ : state) {
    if (Run(args, &cpu) != 0) {
      state.SkipWithError("quorvel-cli average failed");
      break;
    }
  }
  state.SetLabel(kModes[state.range(0)]);
  state.counters["cpu_ms"] = benchmark::Counter(cpu * 1000.0, benchmark::Counter::kAvgIterations);
  std::filesystem::remove_all(dir);
}
BENCHMARK(BM_CliAverageOfFourCaptures)
    ->DenseRange(0, 2)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(5);

}  // namespace

}  // namespace quorvel

BENCHMARK_MAIN();

// How long `quorvel-cli response` takes as a whole process with every output: start-up, the
// capture file's checks and load, the analysis of a 21.6 s recording of the built-in simulated
// loudspeaker, and the FRD, impulse-response WAV, distortion CSV and PNG written. And
// `quorvel-cli eq` of that loudspeaker in a room of ten peaks and dips, fitting 10 filters and
// writing its six files. And `quorvel-cli polar` of a series of 13 captures.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/cli_bench_support.h"
#include "eq/eq_prefilter.h"

namespace quorvel {

namespace {

// The simulated loudspeaker's recording of the 20 Hz - 20 kHz signal as a capture file, from
// 1000 samples before the signal to 2000 samples into its tail, through `room`.
bool WriteCaptureThroughRoom(const std::string& path, const EqFilterSet& room) {
  auto audio = std::make_unique<CAudio>();
  const int length = audio->GenerateSweep(20.0, 20000.0);
  CLoudspeakerModel speaker(true);
  std::vector<int16_t> samples;
  for (long n = -1000; n < length - 9601 + 2000; ++n) {
    const double x = n >= 0 ? audio->Sweep()[static_cast<size_t>(n)] / 32767.0 : 0.0;
    samples.push_back(static_cast<int16_t>(speaker.Process(x) * 32768.0));
  }
  CWave wave;
  if (!wave.CreateCaptureFile(path.c_str())) return false;
  bool written = true;
  for (const int16_t s : PrefilterSamples(samples, 1, room)) {
    written = written && wave.WriteSample(s);
  }
  std::strcpy(wave.m_szTitle, "20.00-20000.00 Hz");
  std::strcpy(wave.m_szArtist, "Quorvel");
  return wave.CloseCaptureFile(true) && written;
}

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

void BM_CliEqTenFilters(benchmark::State& state) {
  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("quorvel_eq_bench_" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  const std::string capture = (dir / "room.wav").string();
  using T = EqFilterType;
  const EqFilterSet room = {-12.0,
                            {{T::kPeaking, 45.0, 8.0, 5.0},
                             {T::kPeaking, 110.0, 6.0, 3.0},
                             {T::kPeaking, 300.0, 5.0, 2.0},
                             {T::kPeaking, 1200.0, 4.0, 1.5},
                             {T::kPeaking, 4000.0, 3.5, 2.0},
                             {T::kPeaking, 70.0, -5.0, 3.0},
                             {T::kPeaking, 2500.0, -4.0, 1.5},
                             {T::kPeaking, 700.0, -25.0, 12.0},
                             {T::kPeaking, 180.0, 4.0, 4.0},
                             {T::kPeaking, 7000.0, 3.0, 3.0}}};
  if (!WriteCaptureThroughRoom(capture, room)) {
    state.SkipWithError("could not write the capture file");
    return;
  }
  std::vector<std::string> args = {QUORVEL_CLI_PATH, "eq", capture, "--filters", "10"};
  if (state.range(0) > 0) args.insert(args.end(), {"--max-boost", "6"});
  for (const char* file : {"pipewire", "easyeffects", "camilladsp", "apo", "png", "csv"}) {
    args.insert(args.end(), {std::string("--") + file, (dir / file).string()});
  }
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  double cpu = 0.0;
  for (auto _ : state) {
    if (Run(args, &cpu) != 0) {
      state.SkipWithError("quorvel-cli eq failed");
      break;
    }
  }
  state.counters["cpu_ms"] = benchmark::Counter(cpu * 1000.0, benchmark::Counter::kAvgIterations);
  std::filesystem::remove_all(dir);
}
// cut only, and with 6 dB of boost
BENCHMARK(BM_CliEqTenFilters)->Arg(0)->Arg(6)->Unit(benchmark::kMillisecond)->UseRealTime();

// `quorvel-cli polar` of a series of 13 captures, -90 to 90 degrees by 15, with the FRD set, the
// map and the polar plot.
void BM_CliPolarThirteenCaptures(benchmark::State& state) {
  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("quorvel_polar_bench_" + std::to_string(getpid()));
  std::filesystem::create_directories(dir / "set");
  for (int angle = -90; angle <= 90; angle += 15) {
    const std::string name = "spk hor " + std::to_string(angle) + ".wav";
    if (!WriteSimulatedCapture((dir / name).string(), 1000, angle)) {
      state.SkipWithError("could not write the capture files");
      return;
    }
  }
  const std::vector<std::string> args = {QUORVEL_CLI_PATH,
                                         "polar",
                                         dir.string(),
                                         "--gate",
                                         "4",
                                         "--frd-set",
                                         (dir / "set").string(),
                                         "--map",
                                         (dir / "map.png").string(),
                                         "--polar",
                                         (dir / "polar.png").string(),
                                         "--at",
                                         "1000,4000,8000"};
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  double cpu = 0.0;
  for (auto _ : state) {
    if (Run(args, &cpu) != 0) {
      state.SkipWithError("quorvel-cli polar failed");
      break;
    }
  }
  state.counters["cpu_ms"] = benchmark::Counter(cpu * 1000.0, benchmark::Counter::kAvgIterations);
  std::filesystem::remove_all(dir);
}
BENCHMARK(BM_CliPolarThirteenCaptures)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

}  // namespace quorvel

BENCHMARK_MAIN();

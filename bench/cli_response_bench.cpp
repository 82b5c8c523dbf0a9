// How long `quorvel-cli response` takes as a whole process with every output: start-up, the
// capture file's checks and load, the analysis of a 21.6 s recording of the built-in simulated
// loudspeaker, and the FRD, impulse-response WAV, distortion CSV and PNG written.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "audio/sim/loudspeaker_model.h"
#include "engine/audio_engine.h"
#include "files/wave_file.h"

namespace quorvel {

namespace {

// The simulated loudspeaker's recording of the 20 Hz - 20 kHz signal as a capture file, from
// 1000 samples before the signal to 2000 samples into its tail.
bool WriteSimulatedCapture(const std::string& path, double angleDeg = 0.0) {
  auto audio = std::make_unique<CAudio>();
  const int length = audio->GenerateSweep(20.0, 20000.0);
  CLoudspeakerModel speaker(true, 0x2545F491u, angleDeg);
  CWave wave;
  if (!wave.CreateCaptureFile(path.c_str())) return false;
  bool written = true;
  for (long n = -1000; n < length - 9601 + 2000 && written; ++n) {
    const double x = n >= 0 ? audio->Sweep()[static_cast<size_t>(n)] / 32767.0 : 0.0;
    written = wave.WriteSample(static_cast<int16_t>(speaker.Process(x) * 32768.0));
  }
  std::strcpy(wave.m_szTitle, "20.00-20000.00 Hz");
  std::strcpy(wave.m_szArtist, "Quorvel");
  return wave.CloseCaptureFile(true) && written;
}

// Runs the program with its output to /dev/null; its exit status, and its CPU time in *cpu [s].
int Run(const std::vector<std::string>& args, double* cpu) {
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  const pid_t pid = fork();
  if (pid == 0) {
    const int null = open("/dev/null", O_WRONLY);
    dup2(null, 1);
    dup2(null, 2);
    execv(argv[0], argv.data());
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  if (pid < 0 || wait4(pid, &status, 0, &usage) != pid) return -1;
  *cpu += static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
          static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
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

// `quorvel-cli polar` of a series of 13 captures, -90 to 90 degrees by 15, with the FRD set, the
// map and the polar plot.
void BM_CliPolarThirteenCaptures(benchmark::State& state) {
  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("quorvel_polar_bench_" + std::to_string(getpid()));
  std::filesystem::create_directories(dir / "set");
  for (int angle = -90; angle <= 90; angle += 15) {
    const std::string name = "spk hor " + std::to_string(angle) + ".wav";
    if (!WriteSimulatedCapture((dir / name).string(), angle)) {
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

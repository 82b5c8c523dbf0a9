#pragma once

// quorvel-cli run as a whole process by the benchmarks, on captures of the simulated
// loudspeaker.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "audio/sim/loudspeaker_model.h"
#include "engine/audio_engine.h"
#include "files/wave_file.h"

namespace quorvel {

// The simulated loudspeaker's recording of the 20 Hz - 20 kHz signal as a capture file, from
// leadSamples before the signal to 2000 samples into its tail, angleDeg off its axis.
inline bool WriteSimulatedCapture(const std::string& path, long leadSamples = 1000,
                                  double angleDeg = 0.0) {
  auto audio = std::make_unique<CAudio>();
  const int length = audio->GenerateSweep(20.0, 20000.0);
  CLoudspeakerModel speaker(true, 0x2545F491u, angleDeg);
  CWave wave;
  if (!wave.CreateCaptureFile(path.c_str())) return false;
  bool written = true;
  for (long n = -leadSamples; n < length - 9601 + 2000 && written; ++n) {
    const double x = n >= 0 ? audio->Sweep()[static_cast<size_t>(n)] / 32767.0 : 0.0;
    written = wave.WriteSample(static_cast<int16_t>(speaker.Process(x) * 32768.0));
  }
  std::strcpy(wave.m_szTitle, "20.00-20000.00 Hz");
  std::strcpy(wave.m_szArtist, "Quorvel");
  return wave.CloseCaptureFile(true) && written;
}

// Runs the program with its output to /dev/null; its exit status, and its CPU time in *cpu [s].
inline int Run(const std::vector<std::string>& args, double* cpu) {
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

}  // namespace quorvel

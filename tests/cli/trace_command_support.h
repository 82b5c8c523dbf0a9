#pragma once

// Captures and their files for the tests of the commands over several captures (overlay,
// average).
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "engine/audio_engine.h"
#include "files/wave_file.h"
#include "tests/cli/cli_test_support.h"

namespace quorvel {

// A measurement of the simulated loudspeaker (turned angleDeg away) saved at path.
inline bool MeasureCapture(const std::string& path, const std::string& config, int angleDeg = 0) {
  const CliOutcome run =
      RunCli("measure --simulated --save " + ShellQuote(path),
             "QUORVEL_SIM_CLOCK_FACTOR=20 QUORVEL_SIM_ANGLE=" + std::to_string(angleDeg) +
                 " XDG_CONFIG_HOME=" + ShellQuote(config));
  return run.status == 0;
}

// The generated signal of fmin..fmax itself as a capture file (a transfer of 0 dB).
inline void SweepCapture(const std::string& path, double fmin, double fmax) {
  auto audio = std::make_unique<CAudio>();
  const int length = audio->GenerateSweep(fmin, fmax);
  CWave wave;
  static_cast<void>(wave.CreateCaptureFile(path.c_str()));
  for (int i = 0; i < length; ++i)
    static_cast<void>(wave.WriteSample(static_cast<int16_t>(audio->Sweep()[i])));
  std::snprintf(wave.m_szTitle, sizeof wave.m_szTitle, "%.2f-%.2f Hz", fmin, fmax);
  std::strcpy(wave.m_szArtist, "Quorvel");
  static_cast<void>(wave.CloseCaptureFile(true));
}

// The rows of a text of numbers (an FRD's lines, a CSV's), comment and header lines left out.
inline std::vector<std::vector<double>> NumberRows(const std::string& path) {
  std::ifstream in(path);
  std::vector<std::vector<double>> rows;
  for (std::string line; std::getline(in, line);) {
    if (line.empty() || line[0] == '*' || line[0] == 'f') continue;
    for (char& c : line) c = c == ',' ? ' ' : c;
    std::istringstream fields(line);
    rows.emplace_back();
    for (double v = 0.0; fields >> v;) rows.back().push_back(v);
  }
  return rows;
}

}  // namespace quorvel

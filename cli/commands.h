#pragma once

#include <string>
#include <vector>

namespace quorvel {

// Exit status of every command: 0 success, 1 a failure (with the message the window would
// show), 2 bad arguments, 3 (measure, analyze, response, overlay, average) a curve with a warning:
// written, but clipped, with another program's sound in it, or short of points.
constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
constexpr int kExitBadArguments = 2;
constexpr int kExitWarning = 3;

using Arguments = std::vector<std::string>;

// quorvel-cli sweep --fmin F --fmax F --out FILE.wav
int RunSweep(const Arguments& args);

// quorvel-cli analyze CAPTURE.wav [--fmin F] [--fmax F] [--calibration CHART]
//                     [--chart-folder DIR] [--csv FILE] [--png FILE] [--bmp FILE]
//                     [--save COPY.wav]
int RunAnalyze(const Arguments& args);

// quorvel-cli response CAPTURE.wav [--fmin F --fmax F] [--gate MS] [--calibration CHART]
//                      [--chart-folder DIR] [--frd FILE] [--ir FILE.wav]
//                      [--distortion FILE.csv] [--png FILE] [--group-delay FILE.csv]
//                      [--step FILE.csv] [--csd FILE.png] [--csd-csv FILE.csv]
//                      [--spectrogram FILE.png]
int RunResponse(const Arguments& args);

// quorvel-cli overlay CAPTURE.wav... [--gate MS] [--smooth N] [--level-range DB] [--png FILE]
//                     [--csv FILE]
int RunOverlay(const Arguments& args);

// quorvel-cli average CAPTURE.wav... --mode db|power|vector [--no-align] [--gate MS]
//                     [--smooth N] [--fmin F --fmax F] [--frd FILE] [--csv FILE] [--png FILE]
int RunAverage(const Arguments& args);

// quorvel-cli devices [--simulated]
int RunDevices(const Arguments& args);

// quorvel-cli measure [--input NAME] [--output NAME] [--simulated] [--fmin F] [--fmax F]
//                     [--gain DB] [--calibration CHART] [--save CAPTURE.wav] [--csv FILE]
//                     [--png FILE] [--bmp FILE] [--sim-angle DEG]
int RunMeasure(const Arguments& args);

// quorvel-cli polar FOLDER|CAPTURE.wav... [--gate MS] [--smooth N] [--normalize]
//                   [--frd-set DIR] [--map FILE.png] [--polar FILE.png --at F1,F2,...]
int RunPolar(const Arguments& args);

// quorvel-cli chart CHART [--fmin F] [--fmax F] [--csv FILE]
int RunChart(const Arguments& args);

// quorvel-cli eq CAPTURE.wav [--target flat|FILE] [--bass-rise DB --bass-corner HZ] [--tilt DB]
//                [--filters N] [--max-boost DB] [--match F1,F2] [--smooth N] [--gate MS]
//                [--calibration CHART] [--pipewire FILE] [--easyeffects FILE]
//                [--camilladsp FILE] [--apo FILE] [--png FILE] [--csv FILE]
int RunEq(const Arguments& args);

// quorvel-cli spl-calibrate [--input NAME] [--gain DB] [--simulated] --reference DB
//                           [--frequency HZ]
int RunSplCalibrate(const Arguments& args);

}  // namespace quorvel

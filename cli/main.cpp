// quorvel-cli: the headless front end over the same core as the window.
#include <QGuiApplication>
#include <clocale>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <exception>
#include <memory>
#include <new>
#include <string>

#include "cli/commands.h"
#include "cli/qt_messages.h"
#include "cli/standard_output.h"

namespace quorvel {

namespace {

const char kUsage[] =
    "usage: quorvel-cli <command> [options]\n"
    "commands:\n"
    "  sweep --fmin F --fmax F --out FILE.wav   write the playback signal as a WAV file\n"
    "  analyze CAPTURE.wav [--fmin F] [--fmax F] [--calibration CHART] [--chart-folder DIR]\n"
    "          [--csv FILE] [--png FILE] [--bmp FILE] [--save COPY.wav]\n"
    "                                           analyse a saved capture as a replay would\n"
    "  response CAPTURE.wav [--fmin F --fmax F] [--gate MS] [--calibration CHART]\n"
    "          [--chart-folder DIR] [--frd FILE] [--ir FILE.wav] [--distortion FILE.csv]\n"
    "          [--png FILE] [--group-delay FILE.csv] [--step FILE.csv] [--csd FILE.png]\n"
    "          [--csd-csv FILE.csv] [--spectrogram FILE.png]\n"
    "                                           the impulse response, level and phase, gated\n"
    "                                           response and harmonic distortion of a saved\n"
    "                                           capture\n"
    "  overlay CAPTURE.wav... [--gate MS] [--smooth N] [--level-range DB] [--png FILE]\n"
    "          [--csv FILE]                     the responses of captures together: their levels\n"
    "                                           on one 1/48-octave grid, and a picture\n"
    "  average CAPTURE.wav... --mode db|power|vector [--no-align] [--gate MS] [--smooth N]\n"
    "          [--fmin F --fmax F] [--frd FILE] [--csv FILE] [--png FILE]\n"
    "                                           the average response of two or more captures\n"
    "                                           over their common range\n"
    "  devices [--simulated]                    list the input and output devices\n"
    "  measure [--input NAME] [--output NAME] [--simulated] [--fmin F] [--fmax F] [--gain DB]\n"
    "          [--calibration CHART] [--save CAPTURE.wav] [--csv FILE] [--png FILE] [--bmp FILE]\n"
    "          [--sim-angle DEG] [--spl]\n"
    "                                           measure a loudspeaker (the simulated one when\n"
    "                                           no PulseAudio server answers)\n"
    "  chart CHART [--fmin F] [--fmax F] [--csv FILE]\n"
    "                                           a calibration chart resampled onto the curve\n"
    "                                           grid of the range\n"
    "  eq CAPTURE.wav [--target flat|FILE] [--bass-rise DB --bass-corner HZ] [--tilt DB]\n"
    "          [--filters N] [--max-boost DB] [--match F1,F2] [--smooth N] [--gate MS]\n"
    "          [--calibration CHART] [--pipewire FILE] [--easyeffects FILE] [--camilladsp FILE]\n"
    "          [--apo FILE] [--png FILE] [--csv FILE]\n"
    "                                           an equaliser fitted to a capture's response,\n"
    "                                           written for PipeWire, EasyEffects, CamillaDSP\n"
    "                                           and Equalizer APO\n"
    "  polar FOLDER|CAPTURE.wav... [--gate MS] [--smooth N] [--normalize] [--frd-set DIR]\n"
    "          [--map FILE.png] [--polar FILE.png --at F1,F2,...]\n"
    "                                           the off-axis series NAME hor|ver ANGLE.wav:\n"
    "                                           FRD set on one time axis, directivity map,\n"
    "                                           polar plot\n"
    "  spl-calibrate [--input NAME] [--gain DB] [--simulated] --reference DB [--frequency HZ]\n"
    "                                           record a sound level calibrator (1 kHz unless\n"
    "                                           told) and store the input's offset to dB SPL;\n"
    "                                           then --spl on measure, analyze, response,\n"
    "                                           overlay, average gives levels in dB SPL\n"
    "exit status: 0 success, 1 failure, 2 bad arguments, 3 (measure, analyze, response, eq,\n"
    "overlay, average, polar) the outputs were written but a recording carries a warning (the\n"
    "input clipped, another program played to the output, points missing)\n";

// The command itself, with what it needs of Qt.
int RunCommand(int argc, char** argv) {
  if (argc < 2 || std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
    std::fputs(kUsage, argc < 2 ? stderr : stdout);
    return argc < 2 ? kExitBadArguments : kExitOk;
  }
  const std::string command = argv[1];
  const Arguments args(argv + 2, argv + argc);
  if (command == "sweep") return RunSweep(args);
  if (command == "analyze") return RunAnalyze(args);
  if (command == "response") return RunResponse(args);
  if (command == "overlay") return RunOverlay(args);
  if (command == "average") return RunAverage(args);
  if (command == "devices") return RunDevices(args);
  if (command == "measure") return RunMeasure(args);
  if (command == "polar") return RunPolar(args);
  if (command == "chart") return RunChart(args);
  if (command == "eq") return RunEq(args);
  if (command == "spl-calibrate") return RunSplCalibrate(args);
  std::fprintf(stderr, "quorvel-cli: unknown command %s\n%s", command.c_str(), kUsage);
  return kExitBadArguments;
}

}  // namespace

int RunCommandLine(int argc, char** argv) {
  // The commands that draw pictures need the fonts, the fonts a QGuiApplication: headless unless
  // QT_QPA_PLATFORM says otherwise, and given none of the arguments (it would take some).
  std::unique_ptr<QGuiApplication> application;
  const std::string command = argc >= 2 ? argv[1] : "";
  // Out of memory (or of threads), a command stops with a message instead of aborting; every
  // file it wrote before is whole, the one it was writing is not there.
  try {
    if (command == "measure" || command == "analyze" || command == "response" || command == "eq" ||
        command == "overlay" || command == "average" || command == "polar") {
      if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
      static int qtArgc = 1;
      static char name[] = "quorvel-cli";
      static char* qtArgv[] = {name, nullptr};
      application = std::make_unique<QGuiApplication>(qtArgc, qtArgv);
      std::setlocale(LC_NUMERIC, "C");  // Qt took the user's locale; numbers never follow it
    }
    return RunCommand(argc, argv);
  } catch (const std::bad_alloc&) {
    std::fprintf(stderr, "Not enough memory: quorvel-cli %s stopped\n", command.c_str());
  } catch (const std::exception& e) {
    std::fprintf(stderr, "quorvel-cli %s stopped: %s\n", command.c_str(), e.what());
  }
  return kExitFailure;
}

}  // namespace quorvel

int main(int argc, char** argv) {
  // A write beyond the file size limit fails (and is reported) instead of ending the program;
  // so does a write into a pipe whose reader has gone ("Broken pipe").
  std::signal(SIGXFSZ, SIG_IGN);
  std::signal(SIGPIPE, SIG_IGN);
  quorvel::FilterQtMessages();
  quorvel::HoldStandardOutput();
  return quorvel::EndStandardOutput(quorvel::RunCommandLine(argc, argv));
}

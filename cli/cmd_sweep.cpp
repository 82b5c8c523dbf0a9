// quorvel-cli sweep: the generated playback signal as a mono 16-bit 48 kHz WAV file.
#include <cstdio>

#include "cli/cli_options.h"
#include "cli/cli_session.h"
#include "cli/commands.h"
#include "control/run/failure_words.h"
#include "control/run/measurement_request.h"

namespace quorvel {

namespace {
const char kSweepUsage[] = "quorvel-cli sweep --fmin F --fmax F --out FILE.wav";
}

int RunSweep(const Arguments& args) {
  CliOptions options({"fmin", "fmax", "out"}, {}, 0);
  std::string error;
  if (!options.Parse(args, &error)) return ArgumentError(error, kSweepUsage);
  double fmin = 0.0;
  double fmax = 0.0;
  if (!options.Number("fmin", 20.0, &fmin, &error) ||
      !options.Number("fmax", 20000.0, &fmax, &error)) {
    return ArgumentError(error, kSweepUsage);
  }
  if (!options.Has("out")) return ArgumentError("--out FILE.wav is required", kSweepUsage);
  // the signal a measurement over the range plays: a range a measurement takes
  if (const Result<void> range = CheckRange(fmin, fmax, RangeRule::kAnyWithinLimits); !range) {
    return ArgumentError(range.Message(), kSweepUsage);
  }

  CCliSession session(AudioChoice::kNone);
  CAudio& audio = session.Core().Audio();
  const int length = audio.GenerateSweep(fmin, fmax);

  const std::string path = options.Value("out");
  CWave& wave = session.Core().Wave();
  if (!wave.CreateCaptureFile(path.c_str())) {
    std::fprintf(stderr, "%s\n", WithWords("Could not create File!", wave.FailureWords()).c_str());
    return kExitFailure;
  }
  bool written = true;
  for (int i = 0; written && i < length; ++i) written = wave.WriteSample(audio.Sweep()[i]);
  // The last samples and the sizes reach the file only now: a failure here is a failure too.
  if (!written || !wave.CloseCaptureFile(false)) {
    std::fprintf(stderr, "%s\n",
                 WithWords("Could not write to File...", wave.FailureWords()).c_str());
    return kExitFailure;
  }
  std::printf("%s: %d samples (%.2f s) from %g Hz to %g Hz\n", path.c_str(), length,
              length / static_cast<double>(CAudio::kSampleRate), fmin, fmax);
  return kExitOk;
}

}  // namespace quorvel

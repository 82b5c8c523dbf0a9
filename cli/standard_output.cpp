#include "cli/standard_output.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>

#include "base/atomic_file.h"
#include "cli/commands.h"

namespace quorvel {

namespace {

// More than any command prints (a chart's 1002 lines take about 30 kB) [bytes].
char g_outputBuffer[1 << 18];

}  // namespace

void HoldStandardOutput() {
  if (isatty(STDOUT_FILENO) == 1) return;  // a terminal sees each line as it comes
  static_cast<void>(std::setvbuf(stdout, g_outputBuffer, _IOFBF, sizeof g_outputBuffer));
}

int EndStandardOutput(int status) {
  const bool failing = status == kExitFailure || status == kExitBadArguments;
  errno = 0;
  const bool flushed = std::fflush(stdout) == 0;
  const int error = errno;
  if (!flushed || std::ferror(stdout) != 0) {
    const std::string reason =
        !flushed && error != 0 ? SystemErrorWords(error) : std::string("it was cut short");
    std::fprintf(stderr, "quorvel-cli: could not write the standard output: %s\n", reason.c_str());
    return failing ? status : kExitFailure;
  }
  if (std::ferror(stderr) != 0) return failing ? status : kExitFailure;
  return status;
}

}  // namespace quorvel

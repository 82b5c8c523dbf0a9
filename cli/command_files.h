#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/output_set.h"

namespace quorvel {

class CliOptions;

// The sizes the free-space check keeps for the outputs: exact where the size is known, else a
// bound [bytes].
// A capture file: at most the largest that Load Audio File takes.
inline constexpr uint64_t kCaptureFileBytes = 2200000;
// A curve CSV: the header and at most 1002 lines of at most 64 bytes.
inline constexpr uint64_t kCurveCsvBytes = 64 + 1002 * 64;
// A PNG picture of width x height pixels: its RGB rows stored without compression, with
// zlib's and the chunks' overhead: more than any it can be.
[[nodiscard]] constexpr uint64_t PngBytesBound(int width, int height) {
  const uint64_t raw = (3 * static_cast<uint64_t>(width) + 1) * static_cast<uint64_t>(height);
  return raw + raw / 1024 + 4096;
}
// A 24-bit BMP picture: the 54 bytes of its headers and its rows padded to 4 bytes.
[[nodiscard]] constexpr uint64_t BmpBytes(int width, int height) {
  return 54 + (3 * static_cast<uint64_t>(width) + 3) / 4 * 4 * static_cast<uint64_t>(height);
}

// The files of one quorvel-cli command (COutputSet), each output with the first line of the
// message its failed save gives. Held for the whole command: it keeps the named pipes it
// checked open until the command ends.
class CCommandFiles {
 public:
  // A file the command reads ("the capture", "--calibration").
  void AddInput(const std::string& label, const std::string& path);
  // An output: its option ("csv"), the path it is written to, the first line its failure is
  // named with, and its size or a bound of it (0: unknown).
  void AddOutput(const std::string& option, const std::string& path,
                 const std::string& failureMessage, uint64_t bytes);

  // Before anything runs: kExitOk, or kExitBadArguments after the usage error that names two
  // outputs reaching one file, or an output reaching an input.
  [[nodiscard]] int RefuseSharedFiles(const char* usage) const;
  // Whether every output can be saved where it is to go, with room for all on their disks;
  // each that cannot is named on stderr, its message's first line then the reason.
  [[nodiscard]] bool CheckTargets();

 private:
  COutputSet m_set;
  std::vector<std::string> m_messages;  // of each entry added; empty for an input
};

// The curve outputs of measure and analyze (--csv, --png, --bmp, --save) and the chart
// (--calibration) they read.
void AddCurveCommandFiles(const CliOptions& options, CCommandFiles* files);

}  // namespace quorvel
